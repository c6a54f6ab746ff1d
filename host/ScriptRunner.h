#pragma once
// Carries out parsed script commands against the host: the scene, the selection, the active
// viewport, the published interfaces, the active command mode and the undo history. A command
// that fails reports what is wrong and leaves the host as it was before the line (the plug-in's
// own faults inside a call or a mouse message excepted: they are reported as they come).
#include <chrono>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "host/ScriptParser.h"
#include "sdk/Interface.h"

namespace velmora::host {

class ScriptRunner {
public:
    // Paths of the script resolve against `baseDir`; `print` writes to `out`.
    ScriptRunner(Interface& ip, std::filesystem::path baseDir, std::ostream& out);

    // Carries out one command. False with `error` (without file and line) when it fails.
    bool execute(const Command& c, std::string& error);

    // True between a press and its release.
    bool strokeOpen() const { return strokeOpen_; }
    // Seconds spent in the command mode's mouse procedure for every drag message so far.
    const std::vector<double>& dragSeconds() const { return dragSeconds_; }
    // Called after each mouse message of a stroke line with the messages sent and the line's total,
    // so that a long stroke can show its progress.
    void setStrokeProgress(std::function<void(size_t sent, size_t total)> hook) { strokeProgress_ = std::move(hook); }

private:
    bool load(const Command& c, std::string& error);
    bool viewport(const Command& c, std::string& error);
    bool frame(std::string& error);
    bool call(const Command& c, std::string& error);
    bool mouse(int msg, int point, const ScreenPoint& p, int modifiers, std::string& error);
    bool stroke(const Command& c, std::string& error);
    bool save(const Command& c, std::string& error);
    bool render(const Command& c, std::string& error);
    bool print(std::string& error);
    bool firstSelected(INode*& node, std::string& error) const;
    std::filesystem::path resolve(const std::string& path) const;

    Interface& ip_;
    std::filesystem::path baseDir_;
    std::ostream& out_;
    bool strokeOpen_ = false;
    std::vector<double> dragSeconds_;
    std::function<void(size_t, size_t)> strokeProgress_;
};

struct RunOptions {
    bool stats = false;     // print the time per drag event at the end
    bool progress = false;  // draw a progress bar on `err` once the script has run for a second
};

// Runs the script file line by line until the end or the first failing line, which is reported as
// "SCRIPT:LINE: what is wrong" on `err`. A script that ends between a press and its release fails
// on the press's line. Returns 0 on success, 1 on failure.
int runScriptFile(Interface& ip, const std::filesystem::path& script, const RunOptions& options,
                  std::ostream& out, std::ostream& err);

}  // namespace velmora::host
