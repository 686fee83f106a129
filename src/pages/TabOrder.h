#pragma once
// Tab walks a page as the technician reads it: a group whole before the
// next, groups standing side by side column by column, and the controls of a
// group along each row, top row first. A control that spans rows is reached
// after the controls to its left in the rows it spans, so "Write" beside a
// point's two fields comes after both.

class QWidget;

namespace orvan::pages {

// Sets the Tab order of the controls under `root` from its layouts. Called
// once a page is built, and again when a page adds controls later. Grids give
// up the Tab key unless a cell is being edited, so Tab always moves on.
void SetTabOrderByLayout(QWidget* root);

}  // namespace orvan::pages
