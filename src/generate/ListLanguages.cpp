#include "generate/ListLanguages.h"

#include <algorithm>
#include <iterator>

namespace lexicorn {

const ListLanguage* FindListLanguage(TargetLanguage language) {
    const auto found =
        std::find_if(std::begin(kListLanguages), std::end(kListLanguages),
                     [language](const ListLanguage* list) { return list->language == language; });
    return found == std::end(kListLanguages) ? nullptr : *found;
}

}  // namespace lexicorn
