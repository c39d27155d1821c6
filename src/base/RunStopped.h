#pragma once
// Raised where long work can stop cleanly once the user asked it to stop
// (closing the window, an interrupt or termination signal). It is not an
// Error: no failure report is shown for it and no step catches it; it
// unwinds the whole command, and the owners of what the run made (part
// files, frame files, temporary folders) remove it on the way.

namespace crossmeld {

class RunStopped {
public:
    RunStopped() noexcept = default;
};

}  // namespace crossmeld
