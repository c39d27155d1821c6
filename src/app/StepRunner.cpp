#include "app/StepRunner.h"

#include <new>
#include <stdexcept>

#include "app/ErrorReport.h"
#include "base/Error.h"
#include "base/RunStopped.h"

namespace crossmeld {

namespace {

std::size_t IndexOfLine(std::span<const Step> steps, std::int32_t line) {
    for (std::size_t i = 0; i < steps.size(); ++i)
        if (steps[i].line == line) return i;
    // A table naming a line it does not hold is a fault in the program.
    throw std::logic_error("step table has no line " + std::to_string(line));
}

// The description of whatever a step threw.
std::string DescribeCurrentException() {
    try {
        throw;
    } catch (const Error& e) {
        return e.description();
    } catch (const std::bad_alloc&) {
        return DefaultDescription(ErrorKind::OutOfMemory);
    } catch (const std::exception& e) {
        const std::string what = e.what();
        return what.empty() ? "Application-defined or object-defined error" : what;
    } catch (...) {
        return "Application-defined or object-defined error";
    }
}

}  // namespace

Step Do(std::int32_t line, std::function<void()> action, Flow then) {
    return Step{line,
                [action = std::move(action), then] {
                    action();
                    return then;
                },
                then};
}

Step If(std::int32_t line, std::function<bool()> test, Flow whenTrue, Flow whenFalse) {
    return Step{line, [test = std::move(test), whenTrue, whenFalse] { return test() ? whenTrue : whenFalse; },
                whenTrue};
}

std::vector<StepRecord> RunSteps(MessageHost& host, const std::string& handler, std::span<const Step> steps) {
    std::vector<StepRecord> trace;
    std::size_t index = 0;
    while (index < steps.size()) {
        const Step& step = steps[index];
        Flow flow = Flow::Next();
        bool failed = false;
        try {
            flow = step.run();
        } catch (const RunStopped&) {
            throw;  // a stop is no failure: it unwinds the whole handler
        } catch (...) {
            failed = true;
            flow = step.onFailure;
            const std::string text = ErrorReport(DescribeCurrentException(), handler, step.line);
            host.MessageBox(text, MsgIcon::Exclamation, MsgButtons::OK, std::string(kErrorReportCaption));
        }
        trace.push_back(StepRecord{step.line, failed});
        if (flow.IsReturn()) break;
        index = flow.IsGoTo() ? IndexOfLine(steps, flow.Line()) : index + 1;
    }
    return trace;
}

std::vector<std::int32_t> LinesOf(std::span<const StepRecord> trace) {
    std::vector<std::int32_t> lines;
    lines.reserve(trace.size());
    for (const StepRecord& r : trace) lines.push_back(r.line);
    return lines;
}

}  // namespace crossmeld
