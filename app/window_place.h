// Where the window opens when another console is already on the screen.
#pragma once

#include <QLockFile>

#include <memory>

class QWidget;

namespace tqm {

// Takes the first free place of a cascade shared by the user's consoles and moves the window
// there before it is shown; the first console stays where the window manager puts it. The place
// is held for as long as the returned lock lives; null when every place is taken.
std::unique_ptr<QLockFile> placeApart(QWidget &window);

} // namespace tqm
