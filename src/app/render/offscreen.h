// Drawing text needs a QGuiApplication. A front end without one (the batch
// front end, tests) makes it here, on first use, on the off-screen platform
// unless another platform was asked for.
#pragma once

namespace ordena::render {

// True when a QGuiApplication exists (made now if there was none).
bool ensureGuiApplication();
// Ends the application made by ensureGuiApplication, if any.
void releaseGuiApplication();

}  // namespace ordena::render
