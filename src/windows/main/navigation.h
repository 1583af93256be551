#pragma once

namespace strobo::windows {

class WindowSet;

// Wires the main window's five buttons to their stages. Call once, before form1 shows.
void connectMainWindow(WindowSet& windows);

// Ends the program at once: an extraction or a build in progress stops after its current step,
// every window closes and the event loop ends. Nothing is saved or deleted.
void endProgram(WindowSet& windows);

}  // namespace strobo::windows
