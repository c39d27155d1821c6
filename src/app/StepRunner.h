#pragma once
// Guarded steps: a command handler is a table of numbered steps run by one
// runner. A step that fails shows the failure report for the handler's name
// and the step's line, and the runner goes on where the step says it goes
// on after a failure: for an action the step that follows it, for a test the
// first step of the branch taken when the test holds.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/MessageHost.h"

namespace crossmeld {

// Where the runner goes after a step.
class Flow {
public:
    static Flow Next() noexcept { return Flow(Kind::Next, 0); }
    static Flow GoTo(std::int32_t line) noexcept { return Flow(Kind::GoTo, line); }
    static Flow Return() noexcept { return Flow(Kind::Return, 0); }

    bool IsNext() const noexcept { return m_kind == Kind::Next; }
    bool IsGoTo() const noexcept { return m_kind == Kind::GoTo; }
    bool IsReturn() const noexcept { return m_kind == Kind::Return; }
    std::int32_t Line() const noexcept { return m_line; }

private:
    enum class Kind { Next, GoTo, Return };
    Flow(Kind kind, std::int32_t line) noexcept : m_kind(kind), m_line(line) {}
    Kind m_kind;
    std::int32_t m_line;
};

struct Step {
    std::int32_t line = 0;          // the number the failure report quotes
    std::function<Flow()> run;      // does the step's work, says where to go next
    Flow onFailure = Flow::Next();  // where to go on after the report
};

// An action; afterwards, and also after it failed, the runner goes to then.
Step Do(std::int32_t line, std::function<void()> action, Flow then = Flow::Next());
// A test; a test that fails counts as holding (the branch for true is taken).
Step If(std::int32_t line, std::function<bool()> test, Flow whenTrue, Flow whenFalse);

// One line of the trace of a run: the step's line and whether it failed.
struct StepRecord {
    std::int32_t line = 0;
    bool failed = false;
    friend bool operator==(const StepRecord&, const StepRecord&) = default;
};

// Runs the steps from the first. Failures of type Error show their
// description; other exceptions show a generic one (out of memory for
// allocation failures). RunStopped is not caught: it leaves the runner at
// once, without a report. A go to names a line: the first step with that line.
// Running off the end of the table returns. The trace lists every step run.
std::vector<StepRecord> RunSteps(MessageHost& host, const std::string& handler, std::span<const Step> steps);

// The lines of a trace, in the order they ran.
std::vector<std::int32_t> LinesOf(std::span<const StepRecord> trace);

}  // namespace crossmeld
