#include "settings/ProjectSettings.h"

namespace lexicorn {

void ChooseTargetPlatform(ProjectSettings& settings, std::int8_t platform, bool& configApiForROM) {
    settings.targetPlatform = platform;
    if (platform == 1) {
        settings.encoding = 1;
        settings.tableType = 1;
        configApiForROM = false;
    } else {
        settings.targetLanguage = 0;
    }
}

}  // namespace lexicorn
