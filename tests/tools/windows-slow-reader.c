/* A stand-in for lexicorn-xls-reader.exe that never answers: it says it has started
 * (TABLE.reader-started), starts a copy of itself and both would leave a mark beside the table
 * (TABLE.reader-ran-on, TABLE.child-ran-on) after 4 s, unless they are ended before. Built by windows-xls.sh.
 * Usage: windows-slow-reader.exe TABLE */
#include <stdio.h>
#include <windows.h>

static void LeaveMarkLater(const char* table, const char* mark) {
    Sleep(4000);
    char name[4096];
    snprintf(name, sizeof name, "%s.%s", table, mark);
    FILE* file = fopen(name, "w");
    if (file) fclose(file);
}

int main(int argc, char** argv) {
    if (argc == 3) {
        LeaveMarkLater(argv[1], "child-ran-on");
        return 0;
    }
    char startedMark[4096];
    snprintf(startedMark, sizeof startedMark, "%s.reader-started", argv[1]);
    FILE* mark = fopen(startedMark, "w");
    if (mark) fclose(mark);
    char line[8192];
    snprintf(line, sizeof line, "\"%s\" \"%s\" child", argv[0], argv[1]);
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION started;
    if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started)) return 9;
    LeaveMarkLater(argv[1], "reader-ran-on");
    return 0;
}
