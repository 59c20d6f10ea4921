/* lxn_attach_embedded of the prebuilt runtime library: see LXNApiCfg.h beside this file. */
#include "Lexicorn.h"

lxn_result lxn_attach_embedded(lxn_image* image) {
    /* The array's length is the image's own, which lxn_attach takes from the header once the
       signature is there. */
    return lxn_attach(image, embeddedLexicorn, (size_t)0xFFFFFFFFu);
}
