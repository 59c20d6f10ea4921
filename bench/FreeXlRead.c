/* Reads every cell of the first worksheet of an .xls workbook with FreeXL alone and prints how many
   hold a value: the floor for the program's own reading of the same file. */
#include <freexl.h>
#include <stdio.h>

int main(int argc, char** argv) {
    const void* handle = NULL;
    unsigned int rows = 0, row;
    unsigned short columns = 0, column;
    unsigned long cells = 0;
    if (argc != 2) {
        fprintf(stderr, "usage: freexl-read FILE.xls\n");
        return 2;
    }
    if (freexl_open(argv[1], &handle) != FREEXL_OK || freexl_select_active_worksheet(handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) {
        fprintf(stderr, "%s: cannot read\n", argv[1]);
        return 1;
    }
    for (row = 0; row < rows; ++row)
        for (column = 0; column < columns; ++column) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(handle, row, column, &value) == FREEXL_OK && value.type != FREEXL_CELL_NULL)
                ++cells;
        }
    freexl_close(handle);
    printf("%lu cells\n", cells);
    return 0;
}
