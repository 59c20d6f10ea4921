#pragma once

// The messages that the windows show beyond those of a build and a merge, in one place. Typos are the
// product's own and stay as users know them. Line breaks inside a message are carriage returns.
namespace lexicorn::gui::texts {

inline constexpr const char* kApplicationTitle = "Lexicorn Wizard";
/// What `lexicorn-wizard --help` prints, with line feeds: it goes to a terminal.
inline constexpr const char* kUsage =
    "Usage: lexicorn-wizard [PROJECT.lxn]\n"
    "The window of Lexicorn Wizard: builds Lexicorn string images and merges them into target software.\n"
    "\n"
    "  PROJECT.lxn  a project file whose settings to load at start\n"
    "  --help       prints this text\n"
    "  --version    prints the version\n"
    "\n"
    "The options of Qt applications are taken as well, such as -platform NAME and -style NAME.\n"
    "The same builds and merges without a window: lexicorn --help.\n";

// Build page
inline constexpr const char* kNoExcelFileLoaded = "No Excel file loaded!";
inline constexpr const char* kNotAFolder = "%1 is not a folder.";
/// After the build's summary; %1 counts the warnings.
inline constexpr const char* kCreatedWithWarnings = "\rCreated with %1. Open the Problems window?";
inline constexpr const char* kSelectExcelFile = "Select Excel File";
/// The chooser's first entry, every kind of table together.
inline constexpr const char* kStringTables = "String tables";

// Merger page
inline constexpr const char* kReplaceFile = "%1 already exists.\rDo you want to replace it?";

// Projects
inline constexpr const char* kOpenProjectFile = "Open Project File";
inline constexpr const char* kSaveProjectAs = "Save Project As";
inline constexpr const char* kProjectFilter = "Lexicorn Files (*.lxn)";
inline constexpr const char* kProjectSuffix = "lxn";
/// Before closing or opening another project; %1 names the project.
inline constexpr const char* kSaveChanges = "Save the changes to %1?";

// Settings window
inline constexpr const char* kTableTypeChanged =
    "If you change string table type you should also set the LXN_STRTABLE_TYPE inside the API "
    "accordingly.\r\rNote that by selecting LXN16 you cannot have more than 64 KB of string data!";

// Alignment window
inline constexpr const char* kAlignmentQuestion =
    "Changing alignment require changes in your embedded Lexicorn search function. Default API searches "
    "Lexicorn at addresses multiply of 16 to speed-up the ROM seacrh process. Are you sure you want to apply "
    "changes?";
inline constexpr const char* kAlignmentNotApplied = "Closing advanced window without applying settings.";

}  // namespace lexicorn::gui::texts
