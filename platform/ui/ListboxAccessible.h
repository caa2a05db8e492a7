#pragma once

namespace platform {

class Listbox;

// Gives every list control a table interface for assistive technology that reads the
// selection from the model's per-row flags (the view's own selection model stays empty).
// Its children are the heading cells, when the list shows a heading, then the cells row by
// row. Safe to call more than once.
void InstallListboxAccessible();

// The place among the table interface's children of the cell at row, column (row -1: the
// heading), for events about that cell.
int ListboxAccessibleChild(const Listbox& list, int row, int column);

}  // namespace platform
