#include "cli/Options.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <utility>

#include "engine/results/XLSXReport.h"

namespace rowlark::cli {
namespace {

struct FilterName {
    std::string_view name;
    records::ResultFilter filter;
};

constexpr std::array<FilterName, 5> filterNames = {{
    {"all", records::ResultFilter::all},
    {"changed", records::ResultFilter::changed},
    {"only-a", records::ResultFilter::onlyLeft},
    {"only-b", records::ResultFilter::onlyRight},
    {"empty-values", records::ResultFilter::emptyValues},
}};

using FlagSetter = std::function<void(Options&)>;
using ValueSetter = std::function<void(Options&, std::string_view)>;

struct Flag {
    std::string_view name;
    FlagSetter set;
};

struct ValueOption {
    std::string_view name;
    ValueSetter set;
};

const std::vector<Flag>& flags()
{
    static const std::vector<Flag> all = {
        {"--help", [](Options& options) { options.isHelpRequested = true; }},
        {"-h", [](Options& options) { options.isHelpRequested = true; }},
        {"--version", [](Options& options) { options.isVersionRequested = true; }},
        {"--mapping", [](Options& options) { options.isMappingOnly = true; }},
        {"--all-sheets", [](Options& options) { options.isAllSheets = true; }},
        {"--json", [](Options& options) { options.isJSON = true; }},
        {"--ignore-case", [](Options& options) { options.isIgnoringCase = true; }},
    };
    return all;
}

records::ResultFilter parseFilter(std::string_view name)
{
    if (const auto filter = filterFromOptionName(name))
        return *filter;
    throw UsageError("unknown filter “" + std::string(name) + "” (use all, changed, only-a, only-b or empty-values)");
}

bool parseRules(std::string_view name)
{
    if (name != "proposed")
        throw UsageError("unknown rules “" + std::string(name) + "” (use proposed)");
    return true;
}

workbook::FileImport::WorkbookReader parseReader(std::string_view name)
{
    if (name == "native")
        return workbook::FileImport::WorkbookReader::native;
    if (name == "library")
        return workbook::FileImport::WorkbookReader::library;
    throw UsageError("unknown reader “" + std::string(name) + "” (use native or library)");
}

csv::Separator parseSeparator(std::string_view name)
{
    if (const auto separator = csv::separatorNamed(name))
        return *separator;
    throw UsageError("unknown separator “" + std::string(name) + "” (use , ; | or tab)");
}

// A count as a script writes it: decimal digits only, no sign.
std::size_t parseCount(std::string_view name, std::string_view text)
{
    std::size_t count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (error != std::errc() || end != text.data() + text.size())
        throw UsageError("option " + std::string(name) + " takes a whole number of 0 or more, not “" +
                         std::string(text) + "”");
    return count;
}

const std::vector<ValueOption>& valueOptions()
{
    static const std::vector<ValueOption> all = {
        {"--map", [](Options& options, std::string_view value) { options.columnChoices.emplace_back(value); }},
        {"--key", [](Options& options, std::string_view value) { options.keyColumns.emplace_back(value); }},
        {"--exclude", [](Options& options, std::string_view value) { options.excludedColumns.emplace_back(value); }},
        {"--rule", [](Options& options, std::string_view value) { options.ruleChoices.emplace_back(value); }},
        {"--rules",
         [](Options& options, std::string_view value) { options.isTakingProposedRules = parseRules(value); }},
        {"--filter",
         [](Options& options, std::string_view value) {
             options.filter = parseFilter(value);
             options.isFilterGiven = true;
         }},
        {"--search",
         [](Options& options, std::string_view value) {
             options.search = value;
             options.isSearchGiven = true;
         }},
        {"--column", [](Options& options, std::string_view value) { options.changedColumn = value; }},
        {"--report", [](Options& options, std::string_view value) { options.reportPath = value; }},
        {"--setup", [](Options& options, std::string_view value) { options.setupPath = value; }},
        {"--save-setup", [](Options& options, std::string_view value) { options.savedSetupPath = value; }},
        {"--max-differences",
         [](Options& options, std::string_view value) {
             options.maxDifferences = parseCount("--max-differences", value);
         }},
        {"--sheet-a", [](Options& options, std::string_view value) { options.leftSheet = value; }},
        {"--sheet-b", [](Options& options, std::string_view value) { options.rightSheet = value; }},
        {"--show-table", [](Options& options, std::string_view value) { options.shownTablePath = value; }},
        {"--sheet", [](Options& options, std::string_view value) { options.shownSheet = value; }},
        {"--reader", [](Options& options, std::string_view value) { options.reader = parseReader(value); }},
        {"--separator", [](Options& options, std::string_view value) { options.separator = parseSeparator(value); }},
        {"--separator-a",
         [](Options& options, std::string_view value) { options.leftSeparator = parseSeparator(value); }},
        {"--separator-b",
         [](Options& options, std::string_view value) { options.rightSeparator = parseSeparator(value); }},
    };
    return all;
}

template<typename Entry> const Entry* find(const std::vector<Entry>& entries, std::string_view name)
{
    for (const Entry& entry : entries)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

// Git sets this for the external diff it runs.
bool isRunByGit()
{
    return std::getenv("GIT_DIFF_PATH_COUNTER") != nullptr;
}

using GivenOption = std::pair<bool, std::string_view>;

// Refuses the first option given of `options`, as one that does not apply to `what`.
void refuseGiven(std::initializer_list<GivenOption> options, std::string_view what)
{
    for (const auto& [isGiven, name] : options)
        if (isGiven)
            throw UsageError(std::string(name) + " does not apply to " + std::string(what));
}

// The options that write something other than the table diff git shows.
void refuseOtherOutputs(const Options& options)
{
    refuseGiven({{options.isJSON, "--json"},
                 {options.isMappingOnly, "--mapping"},
                 {options.reportPath.has_value(), "--report"},
                 {options.savedSetupPath.has_value(), "--save-setup"},
                 {options.maxDifferences.has_value(), "--max-differences"}},
                "git's diff arguments, which ask for a table diff");
}

// The options that choose one sheet, a CSV reading, a setup or an output that --all-sheets has no
// place for.
void refuseWithAllSheets(const Options& options)
{
    refuseGiven({{options.leftSheet.has_value(), "--sheet-a"},
                 {options.rightSheet.has_value(), "--sheet-b"},
                 {options.separator || options.leftSeparator || options.rightSeparator, "--separator"},
                 {options.setupPath.has_value(), "--setup"},
                 {options.savedSetupPath.has_value(), "--save-setup"},
                 {options.isMappingOnly, "--mapping"},
                 {options.changedColumn.has_value(), "--column"},
                 {options.maxDifferences.has_value(), "--max-differences"},
                 {options.shownTablePath.has_value(), "--show-table"}},
                "--all-sheets, which compares every pair of sheets");
    if (options.reportPath &&
        (*options.reportPath == standardOutputPath || !results::XLSXReport::isWorkbookPath(*options.reportPath)))
        throw UsageError("--all-sheets writes its report as a workbook: give --report a PATH ending in .xlsx");
}

bool looksLikeOption(std::string_view argument)
{
    return argument.size() > 1 && argument.front() == '-';
}

class ArgumentReader {
public:
    explicit ArgumentReader(std::span<const std::string_view> arguments)
        : arguments_(arguments)
    {
    }

    Options read()
    {
        Options options;
        std::vector<std::string_view> files;
        bool isPastOptions = false;
        while (next_ < arguments_.size()) {
            const std::string_view argument = arguments_[next_++];
            if (isPastOptions || !looksLikeOption(argument))
                files.push_back(argument);
            else if (argument == "--")
                isPastOptions = true;
            else
                readOption(options, argument);
        }
        if (options.isHelpRequested || options.isVersionRequested)
            return options;
        if (options.isAllSheets) {
            refuseWithAllSheets(options);
            if (files.size() != 2)
                throw UsageError("--all-sheets compares two workbooks, FILE_A and FILE_B, but got " +
                                 std::to_string(files.size()));
            options.leftPath = files[0];
            options.rightPath = files[1];
            return options;
        }
        if (options.shownTablePath) {
            if (!files.empty())
                throw UsageError("--show-table takes one file, and no FILE_A or FILE_B (see --help)");
            return options;
        }
        if (auto gitDiff = gitDiffFiles(files, files.size() == 1 && isRunByGit())) {
            refuseOtherOutputs(options);
            options.gitDiff = std::move(gitDiff);
            return options;
        }
        const bool isEachFileTheSetups = options.setupPath && files.empty();
        if (files.size() != 2 && !isEachFileTheSetups)
            throw UsageError("expected two files, FILE_A and FILE_B, but got " + std::to_string(files.size()) +
                             (options.setupPath ? " (with --setup, give both or none)" : " (see --help)"));
        if (!isEachFileTheSetups) {
            options.leftPath = files[0];
            options.rightPath = files[1];
        }
        if (options.isJSON && options.reportPath == standardOutputPath && !options.isMappingOnly)
            throw UsageError("--json and --report - cannot both write to standard output");
        return options;
    }

private:
    void readOption(Options& options, std::string_view argument)
    {
        const std::size_t equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        if (const ValueOption* option = find(valueOptions(), name)) {
            option->set(options, equals == std::string_view::npos ? nextValue(name) : argument.substr(equals + 1));
            return;
        }
        const Flag* flag = find(flags(), name);
        if (!flag)
            throw UsageError("unknown option " + std::string(name) + " (see --help)");
        if (equals != std::string_view::npos)
            throw UsageError("option " + std::string(name) + " takes no value");
        flag->set(options);
    }

    std::string_view nextValue(std::string_view name)
    {
        if (next_ >= arguments_.size())
            throw UsageError("option " + std::string(name) + " needs a value");
        return arguments_[next_++];
    }

    std::span<const std::string_view> arguments_;
    std::size_t next_ = 0;
};

}  // namespace

Options parseOptions(std::span<const std::string_view> arguments)
{
    return ArgumentReader(arguments).read();
}

std::optional<records::ResultFilter> filterFromOptionName(std::string_view name)
{
    for (const FilterName& entry : filterNames)
        if (entry.name == name)
            return entry.filter;
    return std::nullopt;
}

std::string_view helpText()
{
    return R"(Usage: rowlark-compare [options] FILE_A FILE_B
  or:  rowlark-compare --all-sheets [options] FILE_A FILE_B
  or:  rowlark-compare --setup FILE [options] [FILE_A FILE_B]
  or:  rowlark-compare [options] PATH OLD OLD_HEX OLD_MODE NEW NEW_HEX NEW_MODE
  or:  rowlark-compare --show-table FILE [--sheet NAME] [--separator C]
                        [--reader native|library]

Compares two tables record by record: CSV files, or one sheet of an XLSX, XLS,
ODS or Numbers workbook each (the file type is taken from the extension).
CSV texts (.csv, .txt) are split by commas, or by semicolons, tabs or pipes
when their first records are (.tsv and .tab files by tabs); UTF-8, UTF-16
with a byte-order mark and Windows-1252 are read.
Columns of FILE_B are matched to the columns of FILE_A and a row key is chosen
as the desktop app proposes them; records are matched by key whatever their
order, and every changed record, every record only in FILE_A and every record
only in FILE_B is counted.

Input:
  --sheet-a NAME     the sheet of workbook FILE_A to compare (default: the first)
  --sheet-b NAME     the sheet of workbook FILE_B to compare (default: the first)
  --all-sheets       compare every sheet of workbook FILE_A with its sheet of
                     workbook FILE_B: sheets pair by name, then by name
                     ignoring letter case and surrounding spaces, then the
                     rest by position when both files have as many left; the
                     others are listed as in one file only. Hidden sheets are
                     compared, (hidden) after their names. Each pair gets its
                     own mapping, key and comparison, one pair after another,
                     and its own summary; a pair whose sheet cannot be read or
                     that has no key shows its error and the others go on.
                     --map, --key, --exclude, --rule(s), --ignore-case,
                     --filter, --search, --reader and --json apply to every
                     pair; --report takes an .xlsx PATH only (a Summary sheet,
                     then one worksheet a pair); --sheet-a, --sheet-b, the
                     separators, --setup, --save-setup, --mapping, --column
                     and --max-differences are refused. Exit status: 2 when
                     any pair fails, else 1 when any pair differs or a sheet
                     is in one file only, else 0.
  --reader NAME      how XLSX, ODS and XLS workbooks are read: native (default;
                     what it does not handle goes to the library) or library
                     (the bundled spreadsheet-reader library). The environment
                     variable ROWLARK_WORKBOOK_READER=library sets the default.
  --separator-a C    split the fields of CSV text FILE_A by C: , ; | or tab
                     (also "comma", "semicolon", "pipe") instead of the
                     detected separator
  --separator-b C    the same for FILE_B
  --separator C      the same for both files, and for --show-table's FILE
  --show-table FILE  print FILE's table exactly as it is read (the header row,
                     then the rows; CSV with every field quoted, UTF-8, LF line
                     ends, JSON-object columns expanded) and stop; with --sheet
                     NAME, that sheet of a workbook. For a CSV text, standard
                     error names the separator used ("Semicolon-separated").

Mapping (applied in order: every --map, then --key, --exclude, --rules and
every --rule):
  --map A=B          map File A column A to File B column B by hand, as a manual
                     choice in the app does: related columns follow the learned
                     header pattern. "--map A=" leaves A unmapped. Repeatable.
  --key COLUMN       make COLUMN part of the row key instead of the proposed key.
                     Repeatable; the column needs a File B column. Files for
                     which no key is proposed need --key to be compared.
  --exclude COLUMN   do not compare COLUMN. Repeatable; key columns are always
                     compared.
  --rules proposed   compare every column pair by the rule proposed for it
                     (see --mapping): numbers as numbers, dates as dates, ...
  --rule COLUMN=RULE compare COLUMN (and its File B column) by RULE instead of
                     as read. Repeatable; a later --rule wins. RULE is one of
                       as-read                      the default: surrounding
                                                    spaces, NULL/NA, phones,
                                                    flags, US names, JSON
                       number[:abs=T][,rel=R]       by value: 1 = 1.0 = 1E0,
                                                    5,970.56, 5.970,56, $5,
                                                    (12.50), 1.65% = 0.0165;
                                                    within T, or R times the
                                                    larger value
                       date[:order=dmy|mdy]         by calendar day
                       datetime[:seconds=S][,order=dmy|mdy]
                                                    by instant, within S
                                                    seconds
                       yesno                        true/yes/y/on/1 against
                                                    false/no/n/off/0
                       text[:case][,space][,punct]  the text itself, ignoring
                                                    letter case, all white
                                                    space, punctuation
                       ignore                       not compared, kept in the
                                                    report
                     A value the rule cannot read is compared as read. order
                     gives the day order of d/m/yyyy or m/d/yyyy dates where a
                     file's values do not decide it (dmy/mdy: one per file).
  --ignore-case      compare values and keys without letter case.
  --mapping          print the mapping (after the edits above) and stop.

  A COLUMN is a File A header as written (the first column with that header)
  or #N for the N-th column, counting from 1. B is a File B header or #N.
  In --exclude and --rule, COLUMN may also be a pattern of File A headers with
  * and ? ('*_amount'), which must match at least one column.

Selecting differences for the report:
  --filter NAME      all (default), changed, only-a, only-b or empty-values
  --search TEXT      keep the differences whose key or cells contain TEXT
                     (ignoring letter case and surrounding spaces)
  --column COLUMN    keep the changed records whose COLUMN differs (a compared
                     File A column, named as for --key)
  --report PATH      write the CSV report of the selected differences to PATH
                     (an Excel workbook when PATH ends in .xlsx, a web page of
                     every record with its changed fields when it ends in
                     .html or .htm, in any case), or to standard output for
                     "-"; the summary then goes to standard error. An
                     existing file is replaced as a whole and keeps its
                     permissions; a link's target is replaced; devices and
                     pipes are written to.
  --max-differences N
                     exit with status 0 when the selected differences number
                     at most N, and 1 when there are more (for CI jobs that
                     tolerate known drift)

Setups (.rowlark files, as the desktop app saves and opens them):
  --setup FILE       compare as the saved setup FILE says: its files and
                     sheets, its mapping, key and letter-case switch, and its
                     filter, search and column. FILE_A and FILE_B, when given,
                     replace its files; --sheet-a, --sheet-b, --filter,
                     --search, --column and --ignore-case replace its settings,
                     and --map, --key and --exclude edit its mapping. What of
                     the setup no longer fits the files is listed on standard
                     error ("Setup: ..."); a key it cannot apply is an error.
  --save-setup FILE  save the setup of this comparison to FILE (its files
                     relative to FILE's folder when they lie below it), then
                     compare as usual.

Output:
  --json             print the summary (or with --mapping, the mapping) as one
                     JSON object instead of text.
  -h, --help         print this help and stop.
  --version          print the version and stop.

As git's diff driver:
  Given the seven arguments git passes to diff.<driver>.command or
  GIT_EXTERNAL_DIFF (nine for a renamed path), rowlark-compare prints a table
  diff of PATH, whose two versions lie in the files OLD and NEW: the names as
  "--- a/PATH" and "+++ b/PATH", the summary, then each selected difference:
  "~ KEY" for a changed record with a line "FIELD: OLD → NEW" per changed
  field, "- KEY" for a record only in the old version, "+ KEY" for one only in
  the new. The table type comes from PATH; an added or removed file
  (/dev/null) has no records on that side. Options before the arguments
  (--key, --ignore-case, --filter, ...) apply as usual; the ones that write
  something else (--json, --mapping, --report, --max-differences) are
  refused. The exit status is 0 unless an error stops the diff. Under git
  difftool, git's difftool helper runs instead.

Exit status: 0 when the files have no differences, 1 when they have any
(whatever --filter, --search and --column select), 2 on error. With
--max-differences N: 0 when the selected differences number at most N, 1 when
there are more.

JSON output:
  summary  {"leftName", "rightName", "leftRows", "rightRows", "matchingRows",
           "changed", "onlyLeft", "onlyRight", "ambiguousDuplicateKeyGroups",
           "keyWarning", "elapsedSeconds", "columns": [{"left", "right",
           "changed", "formatOnly"}]}
           (columns: every compared column pair in mapping order, with the
           number of changed records that differ in it, and of those whose
           difference there disappears under the column's proposed rule)
  mapping  {"mappings": [{"leftIndex", "left", "rightIndex", "right", "isKey",
           "isIncluded", "isManual", "rule", "proposedRule", "suggestions":
           [{"rightIndex", "right", "score", "reason"}]}]}
           (indices from 0; rightIndex and right are null for an unmapped
           column; rule is a RULE as --rule takes it, proposedRule one or
           null; suggestions holds a column's best 200 candidates, best
           first)
  --all-sheets {"sheets": [{"left", "right", "leftHidden", "rightHidden",
           "summary" or "error"}], "onlyInLeft": [{"name", "hidden"}],
           "onlyInRight": [{"name", "hidden"}]}
           (left and right are sheet names; each summary as above)
)";
}

}  // namespace rowlark::cli
