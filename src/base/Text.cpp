#include "base/Text.h"

namespace lexicorn {

std::string WithLineFeeds(std::string text) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            text[kept++] = '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            text[kept++] = text[i];
        }
    }
    text.resize(kept);
    return text;
}

}  // namespace lexicorn
