#pragma once
// A page whose controls need more room than the window gives (a 1024x768
// laptop screen) scrolls instead of widening the window.

class QWidget;

namespace orvan::pages {

// Puts a frameless scroll area filling `page` and returns the widget inside
// it, on which the page lays out its controls. The body grows with the page
// and scrolls once the page is smaller than the body's minimum size.
QWidget* ScrollBody(QWidget* page);

}  // namespace orvan::pages
