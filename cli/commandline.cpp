#include "commandline.h"

#include "bmp24to8/engine.h"
#include "bmp24to8/platform.h"
#include "convertfile.h"
#include "identity.h"
#include "statusline.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>
#include <thread>

namespace {

using namespace bmp24to8;

const std::string kProgram(identity::kCommandLineProgram);
const std::string kStandardStream = "-";

// Every line fits a console of 80 columns.
const char kHelp[] = R"(Usage: bmp24to8-cli [options] --dest DIR FILE...
       bmp24to8-cli [options] --output PATH FILE
       bmp24to8-cli [options] --check FILE...
Converts 24-bit BMP pictures into palettized BMPs without any loss: 8 bits
per pixel for at most 256 colours, 4 bits per pixel for at most 16. Pictures
with more colours are refused. Each FILE is written to DIR under its own
name. A FILE of - is read from standard input; --dest - writes to standard
output. One of --dest, --output and --check is required.

Options:
  -h, --help                   Displays help on commandline options.
  -v, --version                Displays version information.
  --no-four-bit                Always write 8 bits per pixel, even for pictures
                               of at most 16 colours.
  --placement <none|dos|boot>  Where the two darkest colours go: none (order of
                               first appearance), dos (darkest at index 0,
                               second-darkest at 1), boot (darkest at 1,
                               second-darkest at 0; the default).
  --dest <DIR>                 The folder that receives the converted files,
                               under their own names; - writes the one FILE to
                               standard output.
  -o, --output <PATH>          Writes the one FILE to PATH.
  --check                      Writes nothing: prints, for each FILE that would
                               be converted, its number of colours and whether
                               it would have 8 or 4 bits per pixel.
  -j, --jobs <N>                Converts N FILEs at once (default: one for each
                               processor); lines come in the order of the
                               FILEs all the same.
  --newer-headers              Also reads pictures with the newer 108- or
                               124-byte header, as today's tools write them,
                               when their colours are plain sRGB (a colour
                               profile would be lost: such a FILE is refused).

Arguments:
  FILE                         24-bit BMP pictures to convert; - for standard
)"
#ifdef _WIN32
R"(                               input. Wildcards (*.bmp) are expanded.

A file that is replaced keeps its attributes, creation time and permissions.
Ctrl+C stops at the next safe point (a file being written is finished); a
second Ctrl+C ends at once, removing the temporary file being written.
Exit status: 0 all converted, 1 some file not converted or standard output
not written ("write error"), 2 usage error, 130 interrupted by Ctrl+C.
)";
#else
R"(                               input. Pipes and terminals (/dev/stdin, <(...))
                               are read as standard input is.

A file that is replaced keeps its owner, group, mode, access list and extended
attributes; it is a new file, so other hard links to it keep the old picture.
Ctrl+C stops at the next safe point (a file being written is finished); TERM,
HUP, a second Ctrl+C and every other signal that ends a program end it at
once by that signal, removing the temporary file being written. A reader of
standard output that goes away ends it by SIGPIPE (141), unless SIGPIPE is
ignored: then it is a write error.
Exit status: 0 all converted, 1 some file not converted or standard output
not written ("write error"), 2 usage error, 130 interrupted by Ctrl+C.
)";
#endif

// Prints one line of a message; on a terminal with every control character
// made harmless, as a file name may hold any. Elsewhere names go out as the
// bytes they were typed as. False when the line could not be written.
bool PrintLine(std::FILE *stream, const std::string &line)
{
    static const bool outputIsTerminal = platform::StandardOutputIsTerminal();
    static const bool errorIsTerminal = platform::StandardErrorIsTerminal();
    const bool terminal = stream == stdout ? outputIsTerminal : errorIsTerminal;
    const std::string shown = (terminal ? ForTerminal(line) : line) + '\n';
    return std::fwrite(shown.data(), 1, shown.size(), stream) == shown.size() && std::fflush(stream) == 0;
}

// Standard output carries what was asked for: help, the version, --check's
// lines. A write there that fails is the run's failure, as in GNU tools: the
// first error is kept, the run stops, and it is reported once at the end.
int standardOutputError = 0;

void KeepOutputError(bool written)
{
    if (!written && standardOutputError == 0)
        standardOutputError = errno != 0 ? errno : EIO;
}

void PrintOut(const std::string &line)
{
    errno = 0;
    KeepOutputError(PrintLine(stdout, line));
}

void WriteOut(std::string_view text)
{
    errno = 0;
    KeepOutputError(std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0);
}

// The status the program ends with once standard output is flushed: 1, with
// "write error", when anything written there was lost.
int EndStatus(int status)
{
    errno = 0;
    KeepOutputError(std::fflush(stdout) == 0);
    if (standardOutputError == 0)
        return status;
    PrintLine(stderr, kProgram + ": write error: " + std::strerror(standardOutputError));
    return ExitSomeFailed;
}

// The engine's progress as the status line shows it: "reading 38 %",
// "reordering", "packing 50 %".
std::string StepText(const Progress &progress)
{
    std::string text(StepName(progress.step));
    if (progress.step != Step::Reordering)
        text.append(" ").append(PercentText(progress.percent));
    return text;
}

// Runs the engine for one FILE at a time on a worker's thread. Options are
// fixed for the whole run; Ctrl+C asks the engine to stop, as the window's
// Abort button does. Each step is handed to the run, which shows it.
class CommandLineHost final : public ConversionHost
{
public:
    CommandLineHost(bool fourBit, PalettePlacement placement, bool newerHeaders,
                    std::function<void(const std::string &step)> shown)
        : fourBit_(fourBit), placement_(placement), newerHeaders_(newerHeaders), shown_(std::move(shown)) {}

    bool fourBitWanted() const override { return fourBit_; }
    bool newerHeadersAccepted() const override { return newerHeaders_; }
    PalettePlacement palettePlacement() const override { return placement_; }
    bool abortRequested() const override { return platform::InterruptRequested(); }
    bool yield() override { return true; }

    void showProgress(const Progress &progress) override { showStep(StepText(progress)); }
    void showStep(const std::string &step) { shown_(step); }

private:
    bool fourBit_;
    PalettePlacement placement_;
    bool newerHeaders_;
    std::function<void(const std::string &step)> shown_;
};

int usageError(const std::string &message)
{
    PrintLine(stderr, kProgram + ": " + message);
    PrintLine(stderr, "Usage: " + kProgram + " [options] --dest DIR FILE...");
    PrintLine(stderr, "Try '" + kProgram + " --help' for more information.");
    return ExitUsage;
}

// The options this program knows.
enum class OptionId { Help, Version, NoFourBit, Placement, Dest, Output, Check, NewerHeaders, Jobs };

// An option as it is written: its long name, its letter (0 for none), and
// whether it takes a value.
struct KnownOption
{
    OptionId id;
    std::string_view longName;
    char letter;
    bool takesValue;
};

constexpr KnownOption kOptions[] = {
    {OptionId::Help, "help", 'h', false},         {OptionId::Version, "version", 'v', false},
    {OptionId::NoFourBit, "no-four-bit", 0, false}, {OptionId::Placement, "placement", 0, true},
    {OptionId::Dest, "dest", 0, true},            {OptionId::Output, "output", 'o', true},
    {OptionId::Check, "check", 0, false},         {OptionId::NewerHeaders, "newer-headers", 0, false},
    {OptionId::Jobs, "jobs", 'j', true},
};

const KnownOption *FindOption(const std::function<bool(const KnownOption &)> &matches)
{
    const auto found = std::find_if(std::begin(kOptions), std::end(kOptions), matches);
    return found == std::end(kOptions) ? nullptr : found;
}

const KnownOption *OptionLettered(char letter)
{
    return FindOption([letter](const KnownOption &o) { return o.letter == letter; });
}

// The options as given: each set option with its last value, and the FILEs.
struct Options
{
    std::map<OptionId, std::string> set;
    std::vector<std::string> files;

    bool isSet(OptionId id) const { return set.contains(id); }
    std::string value(OptionId id) const
    {
        const auto found = set.find(id);
        return found == set.end() ? std::string() : found->second;
    }
};

// Whether every letter of "-abc" is a known option, up to the first that takes
// a value (the rest is its value).
bool LettersAreOptions(const std::string &argument)
{
    for (size_t at = 1; at < argument.size(); ++at) {
        const KnownOption *option = OptionLettered(argument[at]);
        if (!option)
            return false;
        if (option->takesValue)
            return true;
    }
    return true;
}

// Reads the arguments as usual: "--name value", "--name=value", "-o value",
// "-oVALUE", flags of one letter written together ("-hv"), "--" before FILEs
// that start with a dash, and "-" as a FILE.
class ArgumentParser
{
public:
    explicit ArgumentParser(const std::vector<platform::Argument> &arguments) : arguments_(arguments) {}

    // The options and FILEs, or the complaint about them.
    std::optional<std::string> parse(Options &options)
    {
        bool optionsEnded = false;
        while (next_ < arguments_.size()) {
            const bool expandedName = arguments_[next_].expandedName;
            const std::string &argument = arguments_[next_++].text;
            if (optionsEnded || expandedName || argument == kStandardStream || !argument.starts_with('-'))
                options.files.push_back(argument);
            else if (argument == "--")
                optionsEnded = true;
            else if (argument.starts_with("--"))
                takeLong(argument, options);
            else if (argument.size() > 2 && !LettersAreOptions(argument))
                takeNameLike(argument);
            else
                takeLetters(argument, options);
        }
        const std::string hint = nameLike_ ? " (put -- before file names that start with a dash)." : ".";
        if (unknown_.size() == 1)
            return "Unknown option '" + unknown_.front() + "'" + hint;
        if (unknown_.size() > 1) {
            std::string names;
            for (const std::string &name : unknown_)
                names += (names.empty() ? "" : ", ") + name;
            return "Unknown options: " + names + hint;
        }
        return complaint_;
    }

private:
    void takeLong(const std::string &argument, Options &options)
    {
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const std::optional<std::string> attached =
            equals == std::string::npos ? std::nullopt : std::optional(argument.substr(equals + 1));
        if (const KnownOption *option = FindOption([&](const KnownOption &o) { return o.longName == name; }))
            take(*option, "--" + name, attached, options);
        else
            unknown_.push_back(name);
    }

    // More likely a file name than letters run together.
    void takeNameLike(const std::string &argument)
    {
        unknown_.push_back(argument);
        nameLike_ = true;
    }

    void takeLetters(const std::string &argument, Options &options)
    {
        for (size_t at = 1; at < argument.size(); ++at) {
            const KnownOption *option = OptionLettered(argument[at]);
            if (!option) {
                unknown_.push_back(std::string(1, argument[at]));
                continue;
            }
            // A letter that takes a value takes the rest of the argument, if any.
            const bool rest = option->takesValue && at + 1 < argument.size();
            take(*option, std::string("-") + argument[at], rest ? std::optional(argument.substr(at + 1)) : std::nullopt, options);
            if (option->takesValue)
                break;
        }
    }

    // Sets an option as written; `attached` is a value given in the same
    // argument, else a value is the next argument.
    void take(const KnownOption &option, const std::string &written, const std::optional<std::string> &attached, Options &options)
    {
        std::string &value = options.set[option.id];
        if (!option.takesValue && attached)
            complaint_ = complaint_.value_or("Unexpected value after '" + written + "'.");
        else if (option.takesValue && attached)
            value = *attached;
        else if (option.takesValue && next_ < arguments_.size())
            value = arguments_[next_++].text;
        else if (option.takesValue)
            complaint_ = complaint_.value_or("Missing value after '" + written + "'.");
    }

    const std::vector<platform::Argument> &arguments_;
    size_t next_ = 1;   // the program's own name comes first
    std::vector<std::string> unknown_;
    bool nameLike_ = false;
    std::optional<std::string> complaint_;
};

// Where one FILE's picture goes.
struct Job
{
    std::string source;         // as typed; "-" is standard input
    std::string destination;    // a path, "-" for standard output, empty when only checking
};

// What follows the folder part; on Windows a drive's letter and colon are
// part of the folder ("Z:a.bmp").
std::string FileName(const std::string &path)
{
#ifdef _WIN32
    const size_t slash = path.find_last_of("/\\:");
#else
    const size_t slash = path.rfind('/');
#endif
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string PathInFolder(std::string folder, const std::string &name)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder == "/" ? folder + name : folder + "/" + name;
}

// Prepares one FILE's picture: standard input, pipes and terminals are read
// whole, anything else is opened as a file.
Problem Prepare(const std::string &source, Prepared &picture, CommandLineHost &host)
{
    std::string bytes;
    const std::optional<platform::StreamRead> read =
        platform::ReadStream(source == kStandardStream ? std::string() : source, bytes);
    if (!read)
        return files::PrepareFile(source, picture, host);
    switch (*read) {
    case platform::StreamRead::Complete:
        return PrepareBytes(bytes, picture, host);
    case platform::StreamRead::Interrupted:
        return {Failure::Aborted};
    case platform::StreamRead::Failed:
        break;
    }
    return {Failure::CannotOpen};
}

// Converts, writes or checks one FILE; a check's line goes to `checkLine`.
// A file's last step, making it durable and putting it in place, is left in
// `unfinished` when that is given.
Problem RunJob(const Job &job, bool checkOnly, CommandLineHost &host, std::string &checkLine,
               std::unique_ptr<platform::Replacement> *unfinished)
{
    Prepared picture;
    if (Problem problem = Prepare(job.source, picture, host))
        return problem;

    if (checkOnly) {
        const std::string colours = picture.colourCount() == 1 ? " colour, " : " colours, ";
        checkLine = job.source + ": " + std::to_string(picture.colourCount()) + colours + std::to_string(picture.bitsPerPixel()) + "-bit";
        return {};
    }
    host.showStep("writing");
    if (job.destination == kStandardStream) {
        // The parts go out as they are made: no copy of the whole output.
        return WritePicture(picture, [](const NextPart &nextPart) { return platform::WriteStandardOutput(nextPart); });
    }
    if (unfinished)
        return files::BeginPictureFile(picture, job.destination, *unfinished);
    return files::WritePictureFile(picture, job.destination);
}

// What one FILE's conversion leaves to be said, once the FILEs before it
// have said theirs.
struct Outcome
{
    Problem problem;
    std::string checkLine;
    bool stopped = false;   // not converted, once Ctrl+C was pressed
    std::unique_ptr<platform::Replacement> unfinished;   // its file's last step, still to come
};

// Standard input is held whole in memory; when it does not fit, that FILE is
// refused like a picture too large to index, and the run goes on.
Outcome RunJobSafely(const Job &job, bool checkOnly, CommandLineHost &host, bool finishedElsewhere)
{
    Outcome outcome;
    try {
        outcome.problem = RunJob(job, checkOnly, host, outcome.checkLine, finishedElsewhere ? &outcome.unfinished : nullptr);
    } catch (const std::bad_alloc &) {
        outcome.problem = {Failure::NotEnoughMemory};
    }
    outcome.stopped = outcome.problem && platform::InterruptRequested();
    return outcome;
}

// The most FILEs converted at once: more would only wait for the disk.
constexpr int kMostWorkers = 64;

// What the options ask for.
struct Plan
{
    int workers = 1;   // FILEs converted at once
    bool checkOnly = false;
    bool fourBit = true;
    bool newerHeaders = false;
    PalettePlacement placement = PalettePlacement::BootScreen;
    std::vector<Job> jobs;
    std::vector<std::string> duplicates;   // destinations that an earlier FILE writes
};

// Checks the options against each other and turns them into jobs; the
// complaint when they are not a valid request.
std::optional<std::string> MakePlan(const Options &options, Plan &plan)
{
    const std::string placementName = options.isSet(OptionId::Placement) ? options.value(OptionId::Placement) : "boot";
    const std::optional<PalettePlacement> placement = PlacementNamed(placementName);
    if (!placement)
        return "--placement must be none, dos or boot, not '" + placementName + "'.";
    plan.placement = *placement;
    plan.fourBit = !options.isSet(OptionId::NoFourBit);
    plan.checkOnly = options.isSet(OptionId::Check);
    plan.newerHeaders = options.isSet(OptionId::NewerHeaders);
    // As many FILEs at once as there are processors, unless told.
    plan.workers = int(std::clamp(std::thread::hardware_concurrency(), 1u, unsigned(kMostWorkers)));
    if (options.isSet(OptionId::Jobs)) {
        const std::string jobs = options.value(OptionId::Jobs);
        const bool digits = !jobs.empty() && jobs.size() < 5 && std::all_of(jobs.begin(), jobs.end(), [](char c) { return c >= '0' && c <= '9'; });
        plan.workers = digits ? std::stoi(jobs) : 0;
        if (plan.workers < 1 || plan.workers > kMostWorkers)
            return "--jobs must be a number from 1 to " + std::to_string(kMostWorkers) + ", not '" + jobs + "'.";
    }
    const bool toDest = options.isSet(OptionId::Dest);
    const bool toFolder = toDest && options.value(OptionId::Dest) != kStandardStream;
    const bool toStandardOutput = toDest && !toFolder;
    const bool toOutput = options.isSet(OptionId::Output);
    if (int(plan.checkOnly) + int(toDest) + int(toOutput) > 1)
        return "--dest, --output and --check go one at a time.";
    if (!plan.checkOnly && !toDest && !toOutput)
        return "Missing --dest DIR (or --output PATH, or --check).";
    if (toOutput && options.value(OptionId::Output).empty())
        return "--output needs a PATH; it was given an empty one.";
    // A picture is no text for a terminal, as gzip says of its output.
    if (toStandardOutput && platform::StandardOutputIsTerminal())
        return "Standard output is a terminal: redirect it (--dest - > out.bmp), or use --output PATH.";
    const std::string destination = toFolder ? options.value(OptionId::Dest) : std::string();
    if (toFolder && !platform::IsFolder(destination))
        return "'" + destination + (platform::Exists(destination) ? "' is not a folder." : "' does not exist.");
    const std::vector<std::string> &files = options.files;
    if (files.empty())
        return "No FILE to convert.";
    if ((toOutput || toStandardOutput) && files.size() > 1)
        return "--output and --dest - take exactly one FILE.";
    const auto standardInputs = std::count(files.begin(), files.end(), kStandardStream);
    if (toFolder && standardInputs > 0)
        return "Standard input has no name to write under in DIR: use --output PATH or --dest -.";
    // A stream named twice (- and /dev/stdin, a pipe and its /dev/fd name)
    // would be read empty the second time.
    std::map<std::string, std::string> streams;
    for (const std::string &file : files) {
        const std::optional<std::string> stream = platform::StreamIdentity(file == kStandardStream ? std::string() : file);
        if (!stream)
            continue;
        const auto [named, first] = streams.emplace(*stream, file);
        if (first)
            continue;
        if (named->second == kStandardStream || file == kStandardStream)
            return "Standard input (-) can be read only once" + std::string(file == named->second ? "." : " (" + named->second + " is " + file + ").");
        return "'" + named->second + "' and '" + file + "' are one stream, which can be read only once.";
    }

    // Two FILEs of one run must not write the same file: the second would
    // silently replace the first. Links are followed as the writer follows them.
    std::set<std::string> claimed;
    for (const std::string &file : files) {
        Job job{file, toFolder ? PathInFolder(destination, FileName(file))
                      : toOutput ? options.value(OptionId::Output) : toStandardOutput ? kStandardStream : std::string()};
        if (toFolder && !claimed.insert(platform::WrittenPath(job.destination)).second)
            plan.duplicates.push_back(job.destination);
        else
            plan.jobs.push_back(job);
    }
    return std::nullopt;
}

// Starts a thread, unless the system has none to give.
bool StartThread(std::vector<std::thread> &threads, std::function<void()> body)
{
    try {
        threads.emplace_back(std::move(body));
        return true;
    } catch (const std::system_error &) {
        return false;
    }
}

// A run of several FILEs converted at once by workers of their own, while
// this thread says what they did in the order of the FILEs. On a terminal the
// status line shows the first FILE not yet done, drawn by whichever thread
// moves it on. Ctrl+C starts no further FILE.
class Run
{
public:
    explicit Run(const Plan &plan)
        : plan_(plan), outcomes_(plan.jobs.size()), done_(plan.jobs.size(), false),
          showProgress_(platform::StandardErrorIsTerminal()) {}

    // The exit status, unless the run ends as an interrupted program.
    int run(size_t fileCount)
    {
        int status = plan_.duplicates.empty() ? ExitConverted : ExitSomeFailed;
        for (const std::string &duplicate : plan_.duplicates)
            PrintLine(stderr, FailureLine({Failure::DuplicateDestination}, {}, duplicate));
        platform::CatchSignals(platform::Interrupt::StopsAtSafePoint);
        std::vector<std::thread> workers;
        const size_t count = std::min(size_t(plan_.workers), std::max<size_t>(plan_.jobs.size(), 1));
        // Making files durable waits for the disk, not for a processor: with
        // several jobs, more files are synced at once than converted, while
        // their pictures' memory is back already.
        const size_t syncers = count > 1 && !plan_.checkOnly ? kSyncersPerWorker * count : 0;
        // Threads the system will not give (a limit on a user's processes)
        // are done without: syncers first, so that workers know whether
        // they have any; with no worker at all, this thread takes the FILEs.
        size_t made = 0;
        while (made < syncers && StartThread(workers, [this] { sync(); }))
            ++made;
        syncers_ = made > 0;
        workers_ = count;
        bool working = false;
        for (size_t i = 0; i < count && StartThread(workers, [this] { work(); }); ++i)
            working = true;
        if (!working)
            takeFiles();
        size_t converted = 0;
        bool undone = false;
        for (std::unique_lock<std::mutex> held(lock_); said_ < outcomes_.size();) {
            if (!done_[said_]) {
                // Nothing more starts: the outcomes to come are of FILEs not started.
                if (startedAll_ && running_ == 0)
                    break;
                changed_.wait_for(held, std::chrono::milliseconds(100));
                showStatus();
                continue;
            }
            const Outcome outcome = std::move(outcomes_[said_]);
            status_.clear();
            if (outcome.problem && outcome.problem.failure != Failure::Interrupted)
                report(outcome.problem, plan_.jobs[said_]);
            if (!outcome.checkLine.empty())
                PrintOut(outcome.checkLine);
            if (outcome.problem || standardOutputError != 0)
                status = ExitSomeFailed;
            converted += !outcome.problem;
            undone = undone || outcome.stopped;
            stopStarting_ = stopStarting_ || standardOutputError != 0;
            ++said_;
            showStatus();
        }
        {
            const std::lock_guard<std::mutex> held(lock_);
            syncingEnds_ = true;
            toSync_.notify_all();
        }
        for (std::thread &worker : workers)
            worker.join();
        status_.clear();
        // A Ctrl+C after the last file was done leaves nothing undone.
        undone = undone || said_ < outcomes_.size();
        if (platform::InterruptRequested() && undone) {
            PrintLine(stderr, kProgram + ": interrupted; " + std::to_string(fileCount - converted) + " of "
                                  + std::to_string(fileCount) + " files not " + (plan_.checkOnly ? "checked" : "converted"));
            platform::EndAsInterrupted();
        }
        return status;
    }

private:
    // A worker's thread; only the run's own thread takes signals.
    void work()
    {
        platform::HoldEndingSignals();
        takeFiles();
    }

    // Takes the next FILE, until there is none, Ctrl+C was pressed or
    // standard output failed.
    void takeFiles()
    {
        size_t index = 0;
        CommandLineHost host(plan_.fourBit, plan_.placement, plan_.newerHeaders,
                             [this, &index](const std::string &step) { stepShown(index, step); });
        for (;;) {
            std::unique_lock<std::mutex> held(lock_);
            // Files waiting for a syncer hold their descriptors: while as many
            // wait as there are workers, the disk is behind, and a new file
            // would only add one more.
            changed_.wait(held, [this] { return syncing_.size() < workers_; });
            if (next_ == plan_.jobs.size() || platform::InterruptRequested() || stopStarting_) {
                startedAll_ = true;
                changed_.notify_all();
                return;
            }
            index = next_++;
            ++running_;
            const bool syncedElsewhere = syncers_;
            held.unlock();
            host.showStep(StepText({Step::Reading, 0}));
            Outcome outcome = RunJobSafely(plan_.jobs[index], plan_.checkOnly, host, syncedElsewhere);
            held.lock();
            outcomes_[index] = std::move(outcome);
            if (outcomes_[index].unfinished) {
                syncing_.push_back(index);
                toSync_.notify_one();
                continue;
            }
            finished(index);
        }
    }

    // Finishes files whose bytes are written, until the run ends.
    void sync()
    {
        platform::HoldEndingSignals();
        for (std::unique_lock<std::mutex> held(lock_);;) {
            toSync_.wait(held, [this] { return !syncing_.empty() || syncingEnds_; });
            if (syncing_.empty())
                return;
            const size_t index = syncing_.front();
            syncing_.pop_front();
            changed_.notify_all();   // a worker may start another file
            std::unique_ptr<platform::Replacement> replacement = std::move(outcomes_[index].unfinished);
            held.unlock();
            const Problem problem = files::FinishPictureFile(*replacement);
            replacement.reset();
            held.lock();
            outcomes_[index].problem = problem;
            outcomes_[index].stopped = problem && platform::InterruptRequested();
            finished(index);
        }
    }

    // A FILE is done: its outcome can be said (called with the lock held).
    void finished(size_t index)
    {
        done_[index] = true;
        steps_.erase(index);
        --running_;
        changed_.notify_all();
    }

    // The first FILE not yet done; the number of FILEs when all are.
    size_t firstUnfinished() const
    {
        size_t first = said_;
        while (first < done_.size() && done_[first])
            ++first;
        return first;
    }

    // A worker's FILE has moved on.
    void stepShown(size_t index, const std::string &step)
    {
        const std::lock_guard<std::mutex> held(lock_);
        steps_[index] = step;
        if (index == firstUnfinished())
            showStatus();
    }

    // The first FILE not yet done, at the step it has reached (called with
    // the lock held).
    void showStatus()
    {
        const size_t first = firstUnfinished();
        if (showProgress_ && first < next_ && first < plan_.jobs.size())
            status_.show(int(first + 1), int(plan_.jobs.size()), plan_.jobs[first].source, steps_[first]);
    }

    // A FILE's failure line. The first picture refused for a newer header is
    // followed by the way through, on a line of the program's own, so that
    // the failure lines stay as they are.
    void report(const Problem &problem, const Job &job)
    {
        PrintLine(stderr, FailureLine(problem, job.source, job.destination));
        const bool newer = problem.headerSize == 108 || problem.headerSize == 124;
        if (problem.failure == Failure::HeaderSizeMismatch && newer && !plan_.newerHeaders && !hinted_) {
            hinted_ = true;
            PrintLine(stderr, kProgram + ": hint: --newer-headers converts pictures with the newer "
                                  + std::to_string(problem.headerSize) + "-byte header when their colours are plain sRGB");
        }
    }

    static constexpr size_t kSyncersPerWorker = 4;

    const Plan &plan_;
    // Everything below, and the terminal, one thread at a time.
    std::mutex lock_;
    std::condition_variable changed_;
    std::condition_variable toSync_;
    std::deque<size_t> syncing_;   // FILEs whose last step is still to come
    bool syncingEnds_ = false;
    bool syncers_ = false;
    size_t workers_ = 1;
    std::vector<Outcome> outcomes_;
    std::vector<bool> done_;
    // The step each FILE not yet done has reached.
    std::map<size_t, std::string> steps_;
    size_t next_ = 0;
    size_t said_ = 0;
    size_t running_ = 0;
    bool startedAll_ = false;
    bool stopStarting_ = false;
    bool hinted_ = false;
    bool showProgress_;
    StatusLine status_;
};

} // namespace

int RunCommandLine(const std::vector<platform::Argument> &arguments)
{
    Options options;
    if (const std::optional<std::string> complaint = ArgumentParser(arguments).parse(options))
        return usageError(*complaint);
    if (options.isSet(OptionId::Help)) {
        WriteOut(kHelp);
        return EndStatus(ExitConverted);
    }
    if (options.isSet(OptionId::Version)) {
        WriteOut(kProgram + " " + std::string(identity::kVersion) + "\n");
        return EndStatus(ExitConverted);
    }
    Plan plan;
    if (const std::optional<std::string> complaint = MakePlan(options, plan))
        return usageError(*complaint);
    return EndStatus(Run(plan).run(options.files.size()));
}
