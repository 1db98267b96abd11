// SPDX-License-Identifier: MIT
#include "Options.h"

#include "ExitStatus.h"

#include <ProjectVersion.h>

#include <QCommandLineParser>

#include <cmath>
#include <cstring>
#include <limits>

namespace vexal::cli {

using monitor::FilterChoice;
using monitor::FilterSetting;
using monitor::ListColumn;
using monitor::SynthesisOptions;

namespace {

// The commands an option applies to, as bits.
enum Applies : unsigned {
    kSummary = 1u << unsigned(Command::Summary),
    kWatch = 1u << unsigned(Command::Watch),
    kList = 1u << unsigned(Command::List),
    kCode = 1u << unsigned(Command::Code),
    kPause = 1u << unsigned(Command::Pause),
    kFollow = 1u << unsigned(Command::Follow),
    kCheck = 1u << unsigned(Command::Check),
    kSites = 1u << unsigned(Command::Sites),
    kEvery = kSummary | kWatch | kList | kCode | kPause | kFollow | kCheck | kSites,
    kPrinting = kSummary | kWatch | kList | kCode | kFollow | kCheck | kSites,
    kShowingLists = kList | kFollow | kCheck,
};

constexpr int kPortMax = 65535;
// The synthesis panel's edits hold whole numbers up to this, its spinner
// counts indentation up to kIndentMax.
constexpr long long kFilterMax = 2147483647;
constexpr long long kIndentMax = 999;
constexpr long long kMillisecondsMax = 24LL * 3600 * 1000;
constexpr double kHoldSecondsMax = 1e6;

struct CommandSpec {
    Command command;
    const char *name;
    const char *summary;
};

const CommandSpec kCommands[] = {
    {Command::Summary, "summary", "One summary, laid out as the window saves it."},
    {Command::Watch, "watch", "A summary line per sample until interrupted or --count samples."},
    {Command::List, "list", "The live blocks, laid out as the window saves the list."},
    {Command::Code, "code", "The VexalFreeThese statements the window would generate and save."},
    {Command::Pause, "pause", "Pause the application until Enter, Ctrl+C or --for, then release it."},
    {Command::Follow, "follow", "Answer the application's VexalShowStatus and VexalShowList calls until it ends."},
    {Command::Check, "check", "Exit with status 1 when the live blocks exceed the limits, printing them; with "
                              "--growth, when a leak site keeps growing."},
    {Command::Sites, "sites", "The live blocks grouped by call site, the largest first; --watch for their growth."},
};

struct OptionSpec {
    const char *name;
    const char *valueName;  // empty for a switch
    const char *description;
    unsigned commands;
};

const OptionSpec kOptionSpecs[] = {
    {"address", "A.B.C.D", "The application's IPv4 address (default 127.0.0.1).", kEvery},
    {"port", "N", "The port the application listens on (default %1).", kEvery},
    {"scan", "N", "Also try the N ports after it, where the application listens after earlier monitors "
                  "(default 16; 0: that port only).", kEvery},
    {"timeout", "MS", "Wait at most MS milliseconds for each reply (default %1).", kEvery},
    {"wait", "MS", "Keep trying to connect for up to MS milliseconds, for an application still starting "
                   "(default 0: try once).", kEvery},
    {"format", "text|csv|json", "Print text (the window's saved files; the sites as a table), CSV or JSON "
                                "(default text).", kPrinting},
    {"period", "MS", "Milliseconds from one sample to the next request (default 1000).", kWatch | kSites | kCheck},
    {"count", "N", "Stop after N samples (default 0: until interrupted).", kWatch | kSites},
    {"full-path", "", "Show file names whole, not only what follows the last slash.", kShowingLists | kSites},
    {"sort", "file|line|type|size|thread|index|pointer", "Sort the list by this column.", kShowingLists},
    {"sort", "bytes|blocks|growth|site", "Order the sites by this, the largest first (site: by name; default "
                                         "bytes).", kSites},
    {"descending", "", "Sort in descending order.", kShowingLists},
    {"since-index", "N", "Only the records whose index is N or more.", kShowingLists | kCode | kSites},
    {"top", "N", "Only the first N sites (default 0: all).", kSites},
    {"watch", "", "A sample every --period until interrupted or --count samples, each site with its change "
                  "since the first sample, its growth and its verdict.", kSites},
    {"growth", "SECONDS", "Watch the leak sites for this long and fail when one is growing at the end.", kCheck},
    {"any-file", "", "Regardless of file name.", kCode},
    {"calling-thread", "", "Only the calling thread.", kCode},
    {"line", "all|exact|MIN:MAX", "Lines: all, the exact line, or between MIN and MAX (default exact).", kCode},
    {"size", "all|exact|MIN:MAX", "Sizes: all, the exact size, or between MIN and MAX (default exact).", kCode},
    {"index", "all|exact|MIN:MAX", "Indexes: all, the exact index, or between MIN and MAX (default all).", kCode},
    {"indent", "N", "Characters ahead of each line, 0 to 999 (default 2).", kCode},
    {"tabs", "", "Indent with tabs rather than spaces.", kCode},
    {"for", "SECONDS", "Release the application after this many seconds.", kPause},
    {"check", "", "Check the list at each VexalShowList call, as the command check does.", kFollow},
    {"max-blocks", "N", "Fail when more than N live blocks are found (default 0 unless --max-bytes is given).",
     kCheck | kFollow},
    {"max-bytes", "N", "Fail when the live blocks hold more than N bytes.", kCheck | kFollow},
};

const char *const kDescription =
    "vxl: the Vexal monitor without a window. It connects to a program linked with\n"
    "libVexal over TCP, as the desktop monitor does.\n"
    "\n"
    "Exit status: 0 done, 1 a check failed, 2 bad usage, 3 not reachable or\n"
    "connection lost, 4 a reply timed out.";

QString usageError(const QString &what) { return QStringLiteral("vxl: ") + what; }

// The defaults the help names are those the options start from.
QString describe(const OptionSpec &spec)
{
    const QString text = QString::fromLatin1(spec.description);
    const Target defaults;
    if (std::strcmp(spec.name, "port") == 0)
        return text.arg(defaults.port);
    if (std::strcmp(spec.name, "timeout") == 0)
        return text.arg(defaults.timeout.count());
    return text;
}

class Parser {
public:
    explicit Parser(unsigned commands) : help_(parser_.addHelpOption())
    {
        parser_.setApplicationDescription(QString::fromLatin1(kDescription));
        QStringList added;
        for (const OptionSpec &spec : kOptionSpecs) {
            // An option of two commands with values of their own (sort) is
            // described once when the commands are not yet told apart.
            if (!(spec.commands & commands) || added.contains(QLatin1String(spec.name)))
                continue;
            added << QLatin1String(spec.name);
            parser_.addOption(*spec.valueName ? QCommandLineOption(QString::fromLatin1(spec.name), describe(spec),
                                                                   QString::fromLatin1(spec.valueName))
                                              : QCommandLineOption(QString::fromLatin1(spec.name), describe(spec)));
        }
    }

    QCommandLineParser &operator*() { return parser_; }
    QCommandLineParser *operator->() { return &parser_; }
    bool helpAsked() const { return parser_.isSet(help_); }

private:
    QCommandLineParser parser_;
    const QCommandLineOption help_;
};

// Reads option values; the first bad one is kept as the error. An option
// the command does not take reads as not given.
class Reader {
public:
    Reader(const QCommandLineParser &parser, Command command) : parser_(parser), command_(command) {}

    bool isSet(const char *name) const
    {
        for (const OptionSpec &spec : kOptionSpecs) {
            if (std::strcmp(spec.name, name) == 0 && (spec.commands & (1u << unsigned(command_))))
                return parser_.isSet(QString::fromLatin1(name));
        }
        return false;
    }
    QString value(const char *name) const { return parser_.value(QString::fromLatin1(name)); }

    void number(const char *name, long long min, long long max, long long &into)
    {
        if (!isSet(name))
            return;
        bool ok = false;
        const long long parsed = value(name).toLongLong(&ok);
        if (ok && parsed >= min && parsed <= max)
            into = parsed;
        else
            fail(QStringLiteral("--%1 takes a whole number from %2 to %3, not '%4'")
                     .arg(QLatin1String(name)).arg(min).arg(max).arg(value(name)));
    }

    template <class Int>
    void number(const char *name, long long min, long long max, Int &into)
    {
        long long wide = into;
        number(name, min, max, wide);
        into = Int(wide);
    }

    void milliseconds(const char *name, long long min, std::chrono::milliseconds &into)
    {
        long long ms = into.count();
        number(name, min, kMillisecondsMax, ms);
        into = std::chrono::milliseconds(ms);
    }

    // all, exact or MIN:MAX, as a filter group of the synthesis panel.
    void filter(const char *name, FilterSetting &into)
    {
        if (!isSet(name))
            return;
        const QString text = value(name);
        if (text == QLatin1String("all")) {
            into.choice = int(FilterChoice::All);
            return;
        }
        if (text == QLatin1String("exact")) {
            into.choice = int(FilterChoice::Exact);
            return;
        }
        const QStringList bounds = text.split(u':');
        bool minOk = false;
        bool maxOk = false;
        const long long min = bounds.size() == 2 ? bounds[0].toLongLong(&minOk) : 0;
        const long long max = bounds.size() == 2 ? bounds[1].toLongLong(&maxOk) : 0;
        if (!minOk || !maxOk || min < 0 || max < 0 || min > kFilterMax || max > kFilterMax) {
            fail(QStringLiteral("--%1 takes all, exact or MIN:MAX with whole numbers from 0 to %2, not '%3'")
                     .arg(QLatin1String(name)).arg(kFilterMax).arg(text));
            return;
        }
        into = {int(FilterChoice::Between), min, max};
    }

    void seconds(const char *name, double max, std::optional<std::chrono::milliseconds> &into)
    {
        if (!isSet(name))
            return;
        bool ok = false;
        const double seconds = value(name).toDouble(&ok);
        if (ok && std::isfinite(seconds) && seconds >= 0 && seconds <= max)
            into = std::chrono::milliseconds(std::llround(seconds * 1000));
        else
            fail(QStringLiteral("--%1 takes a number of seconds from 0 to %2, not '%3'")
                     .arg(QLatin1String(name)).arg(max).arg(value(name)));
    }

    template <class Value, std::size_t N>
    void oneOf(const char *name, const std::pair<const char *, Value> (&choices)[N], Value &into)
    {
        if (!isSet(name))
            return;
        QStringList names;
        for (const auto &[text, choice] : choices) {
            if (value(name) == QLatin1String(text)) {
                into = choice;
                return;
            }
            names << QLatin1String(text);
        }
        fail(QStringLiteral("--%1 takes %2, not '%3'").arg(QLatin1String(name), names.join(u'|'), value(name)));
    }

    void fail(const QString &what)
    {
        if (error_.isEmpty())
            error_ = what;
    }
    const QString &error() const { return error_; }

private:
    const QCommandLineParser &parser_;
    const Command command_;
    QString error_;
};

const std::pair<const char *, Format> kFormats[] = {
    {"text", Format::Text}, {"csv", Format::Csv}, {"json", Format::Json}};
const std::pair<const char *, monitor::SiteColumn> kSiteOrders[] = {
    {"bytes", monitor::SiteColumn::Bytes}, {"blocks", monitor::SiteColumn::Blocks},
    {"growth", monitor::SiteColumn::Growth}, {"site", monitor::SiteColumn::Site}};
const std::pair<const char *, ListColumn> kColumns[] = {
    {"file", ListColumn::File},       {"line", ListColumn::Line},   {"type", ListColumn::MemType},
    {"size", ListColumn::Memory},     {"thread", ListColumn::ThreadId}, {"index", ListColumn::Index},
    {"pointer", ListColumn::Pointer}};

void readTarget(Reader &reader, Target &target)
{
    if (reader.isSet("address")) {
        target.address = reader.value("address").toLatin1();
        if (!monitor::Connection::isValidAddress(target.address))
            reader.fail(QStringLiteral("--address takes an IPv4 address A.B.C.D, not '%1'").arg(reader.value("address")));
    }
    reader.number("port", 1, kPortMax, target.port);
    reader.number("scan", 0, kPortMax, target.scan);
    reader.milliseconds("timeout", 1, target.timeout);
    reader.milliseconds("wait", 0, target.wait);
}

// sites and check --growth: options that only make sense together.
void readSitesOptions(Reader &reader, Options &options)
{
    options.watch = reader.isSet("watch");
    reader.number("top", 0, std::numeric_limits<long long>::max(), options.top);
    reader.seconds("growth", kHoldSecondsMax, options.growth);
    const bool sampling = options.watch || options.growth.has_value() || options.command == Command::Watch;
    if (!sampling && (reader.isSet("period") || reader.isSet("count")))
        reader.fail(options.command == Command::Check ? QStringLiteral("--period goes with --growth")
                                                      : QStringLiteral("--period and --count go with --watch"));
    if (!options.growth)
        return;
    if (reader.isSet("max-blocks") || reader.isSet("max-bytes"))
        reader.fail(QStringLiteral("--growth checks the sites' growth, not --max-blocks or --max-bytes"));
    // Fewer samples than a verdict needs would pass any leak unseen.
    const long long samples = options.growth->count() / options.period.count() + 1;
    if (samples < static_cast<long long>(monitor::kMinSamples))
        reader.fail(QStringLiteral("--growth %1 with --period %2 takes %3 samples; a verdict needs at least %4")
                        .arg(reader.value("growth")).arg(options.period.count()).arg(samples)
                        .arg(monitor::kMinSamples));
}

void readCommandOptions(Reader &reader, Options &options)
{
    reader.oneOf("format", kFormats, options.format);
    reader.milliseconds("period", 1, options.period);
    reader.number("count", 0, std::numeric_limits<long long>::max(), options.count);

    options.fullPath = reader.isSet("full-path");
    if (options.command == Command::Sites) {
        reader.oneOf("sort", kSiteOrders, options.siteOrder);
    } else if (reader.isSet("sort")) {
        ListColumn column = ListColumn::File;
        reader.oneOf("sort", kColumns, column);
        options.sortColumn = column;
    }
    options.descending = reader.isSet("descending");
    reader.number("since-index", 0, std::numeric_limits<long long>::max(), options.sinceIndex);

    SynthesisOptions &synthesis = options.synthesis;
    synthesis.regardlessOfFile = reader.isSet("any-file");
    synthesis.callingThread = reader.isSet("calling-thread");
    reader.filter("line", synthesis.line);
    reader.filter("size", synthesis.size);
    reader.filter("index", synthesis.index);
    reader.number("indent", 0, kIndentMax, synthesis.indentation);
    synthesis.tabs = reader.isSet("tabs");

    reader.seconds("for", kHoldSecondsMax, options.holdFor);
    readSitesOptions(reader, options);

    // A limit given to follow is a check asked for: ignoring it would let a
    // leak pass unseen.
    options.check = options.command == Command::Check || reader.isSet("check") || reader.isSet("max-blocks")
                    || reader.isSet("max-bytes");
    if (reader.isSet("max-bytes")) {
        // With a byte limit alone, any number of blocks may stay.
        options.maxBlocks = std::numeric_limits<long long>::max();
        long long bytes = 0;
        reader.number("max-bytes", 0, std::numeric_limits<long long>::max(), bytes);
        options.maxBytes = bytes;
    }
    reader.number("max-blocks", 0, std::numeric_limits<long long>::max(), options.maxBlocks);
}

QString commandList()
{
    QString text = QStringLiteral("\nCommands:\n");
    for (const CommandSpec &spec : kCommands)
        text += QStringLiteral("  %1%2\n").arg(QLatin1String(spec.name), -9).arg(QLatin1String(spec.summary));
    return text + QStringLiteral("\nvxl COMMAND --help shows the options of a command.\n");
}

} // namespace

ParsedCommandLine parseCommandLine(const QStringList &arguments)
{
    // First with every option, to find the command; then with the
    // command's own, so that an option it does not take is an error.
    Parser all(kEvery);
    const QCommandLineOption version = all->addVersionOption();
    all->addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do (see Commands)."));
    if (!all->parse(arguments))
        return {std::nullopt, usageError(all->errorText()), kBadUsage};
    const QStringList positional = all->positionalArguments();
    if (positional.isEmpty()) {
        if (all.helpAsked())
            return {std::nullopt, all->helpText() + commandList(), kDone};
        if (all->isSet(version))
            return {std::nullopt, QStringLiteral("vxl %1\n").arg(QStringLiteral(VEXAL_VERSION_TEXT)), kDone};
        return {std::nullopt, usageError(QStringLiteral("no command given; see vxl --help")), kBadUsage};
    }

    const CommandSpec *spec = nullptr;
    for (const CommandSpec &candidate : kCommands) {
        if (positional.first() == QLatin1String(candidate.name))
            spec = &candidate;
    }
    if (!spec)
        return {std::nullopt, usageError(QStringLiteral("unknown command '%1'; see vxl --help").arg(positional.first())),
                kBadUsage};

    Parser own(1u << unsigned(spec->command));
    own->setApplicationDescription(QString::fromLatin1(spec->summary));
    own->addPositionalArgument(QString::fromLatin1(spec->name), QString(), QString::fromLatin1(spec->name));
    const QString name = QString::fromLatin1(spec->name);
    if (!own->parse(arguments))
        return {std::nullopt, usageError(name + QStringLiteral(": ") + own->errorText()), kBadUsage};
    if (own.helpAsked())
        return {std::nullopt, own->helpText(), kDone};
    if (own->positionalArguments().size() > 1)
        return {std::nullopt, usageError(name + QStringLiteral(": unexpected argument '%1'").arg(own->positionalArguments()[1])),
                kBadUsage};

    Options options;
    options.command = spec->command;
    Reader reader(*own, spec->command);
    readTarget(reader, options.target);
    readCommandOptions(reader, options);
    if (!reader.error().isEmpty())
        return {std::nullopt, usageError(name + QStringLiteral(": ") + reader.error()), kBadUsage};
    if (options.target.port + options.target.scan > kPortMax)
        options.target.scan = kPortMax - options.target.port;
    return {options, QString(), kDone};
}

} // namespace vexal::cli
