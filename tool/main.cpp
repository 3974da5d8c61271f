// favtool: lists, checks, exports, imports and restores the favourites the plug-in keeps
// in the registry. Arguments arrive as UTF-16 and are handed to the option
// parser as UTF-8; output follows tool/console.h.
#include <windows.h>

#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tool/commands.h"
#include "tool/console.h"
#include "tool/display_width.h"
#include "tool/exit_status.h"
#include "tool/language.h"
#include "tool/registry.h"
#include "tool/text.h"

namespace {

constexpr const char* kDescription =
    "Lists, checks, exports, imports and restores the favourites of the Favorites\n"
    "plug-in. It may run while the editor is open: bars without unsaved edits show\n"
    "what it wrote at the editor's next idle moment; a bar with unsaved edits saves\n"
    "over it then, and the value it wrote is in the history.";
constexpr const char* kDescriptionJapanese =
    "Favorites プラグインのお気に入りを表示し、調べ、書き出し、読み込み、戻します。\n"
    "エディターを開いたままでも使えます。未保存の変更がないバーは、エディターの次の\n"
    "アイドル時に favtool が書いた内容を表示します。未保存の変更があるバーはそのとき\n"
    "自分の内容で上書きし、favtool が書いた値は履歴に残ります。";

// The help's columns: option names up to kNameColumns, their descriptions
// wrapped to fit a console of 80 columns.
constexpr std::size_t kNameColumns = 30;
constexpr std::size_t kHelpColumns = 80;

constexpr const char* kFooter = R"(favtool COMMAND --help lists the options of one command.

Examples:
  favtool list                    the tree, indented
  favtool check                   does the stored value load completely?
  favtool export favorites.json   write the whole tree to a UTF-8 JSON file
  favtool import favorites.json --dry-run
                                  what an import would replace, writing nothing
  favtool import favorites.json   replace the tree with the document's
  favtool relocate "C:\My Docs" D:\Docs
                                  favourites below C:\My Docs now point below
                                  D:\Docs
  favtool history                 earlier values, newest first
  favtool diff 1                  what the newest earlier value holds that the
                                  current one lacks (-), and the reverse (+)
  favtool restore --history 1     put the newest earlier value back
  favtool missing --json > missing.json
  favtool --module my list        the key of a copy of the plug-in named my.dll

Exit status: the same for every command
  0  done (also when there was nothing to do)
  1  done, with a finding: a value that does not load completely was listed,
     diff found differences, missing found files
  2  the command line is wrong (an unknown command or option, a bad number, an
     empty file name); nothing was done
  3  refused, nothing written: a value, backup, history entry or document that
     does not load, a module key that does not exist, the favourites kept
     locked by another writer, a round trip export cannot make
  4  failed part-way: a system error (a key, value or file that cannot be read
     or written, output that cannot be written, no memory left); the message
     says what was put back

Where the values live:
  HKEY_CURRENT_USER\Software\Kalmet\ZorvexPlugIns\<module>: FavoriteArray (the
  tree), check (its layout), FavoriteArrayBackup (the bytes of a value that did
  not load completely, or the value a restore swapped out), and the subkey
  History (earlier values: the newest 15 and the first of each of 15 days).

Undo:
  import, relocate and restore keep the value they replace in the history, as
  the bar does when a save deletes favourites, replaces another window's value
  or makes the day's first change: favtool history lists the entries, favtool
  restore --history 1 puts the newest back. favtool restore swaps
  FavoriteArrayBackup in; a second restore undoes that. Keep an export too.

Output to a console shows every character. Redirected output follows the
console's code page (--encoding utf8 for UTF-8); JSON files are always UTF-8.)";

// The same, hand-wrapped to 80 columns where a Japanese character takes two.
constexpr const char* kFooterJapanese = R"(1 つのコマンドのオプションは favtool COMMAND --help で表示します。

例:
  favtool list                    ツリーを字下げして表示します
  favtool check                   保存された値が最後まで読めるかを調べます
  favtool export favorites.json   ツリー全体を JSON ファイルに書き出します
  favtool import favorites.json --dry-run
                                  import で何が置き換わるかを表示します。何も
                                  書き込みません
  favtool import favorites.json   ツリーを JSON ファイルのツリーで置き換えます
  favtool relocate "C:\My Docs" D:\Docs
                                  C:\My Docs の下を指すお気に入りが D:\Docs の
                                  下を指すようになります
  favtool history                 以前の値を新しい順に表示します
  favtool diff 1                  最新の履歴にあって今の値にないもの (-) と、
                                  その逆 (+) を表示します
  favtool restore --history 1     最新の以前の値に戻します
  favtool missing --json > missing.json
  favtool --module my list        my.dll という名前のプラグインのコピーのキー

終了コード: すべてのコマンドで共通です
  0  完了 (何もすることがなかった場合も含みます)
  1  完了し、問題が見つかった: 最後まで読めない値を表示した、diff で違いが
     あった、missing で存在しないファイルが見つかった
  2  コマンド ラインの誤り (不明なコマンドやオプション、正しくない数値、空の
     ファイル名)。何もしていません
  3  拒否し、何も書き込んでいない: 読めない値・バックアップ・履歴・JSON
     ファイル、存在しないモジュールのキー、ほかの書き込み元によるロック、
     元に戻せない書き出し
  4  途中で失敗した: システム エラー (読み書きできないキー・値・ファイル、
     書き込めない出力、メモリ不足)。何を元に戻したかをメッセージで示します

値の保存場所:
  HKEY_CURRENT_USER\Software\Kalmet\ZorvexPlugIns\<モジュール> の FavoriteArray
  (ツリー)、check (その形式)、FavoriteArrayBackup (最後まで読めなかった値の
  データ、または restore が入れ替えた値)、サブキー History (以前の値: 最新の
  15 件と、15 日分の各日の最初の値)。

元に戻すには:
  import、relocate、restore は、置き換える値を履歴に残します。バーも、保存で
  お気に入りを削除したとき、ほかのウィンドウの値を置き換えたとき、その日の
  最初の変更のときに同じようにします。favtool history で履歴を表示し、
  favtool restore --history 1 で最新の履歴に戻します。favtool restore は
  FavoriteArrayBackup と入れ替えます。もう一度 restore すると元に戻ります。
  書き出した JSON ファイルも残しておいてください。

コンソールへの出力ではすべての文字を表示します。リダイレクトした出力は
コンソールのコード ページに従います (UTF-8 にするには --encoding utf8)。
JSON ファイルは常に UTF-8 です。)";

// Below one command's options: where the rest is told.
constexpr const char* kCommandFooter = "favtool --help lists every command, the exit statuses and how to undo.";
constexpr const char* kCommandFooterJapanese =
    "favtool --help で、すべてのコマンド、終了コード、元に戻す方法を表示します。";

// Words wrapped to the help's description column; Japanese also between
// characters.
std::string Fit(const std::string& text) { return display::Wrap(text, kHelpColumns - kNameColumns); }

// The option's description in the language spoken, wrapped.
std::string Fit(const std::string& english, const std::string& japanese) { return Fit(Say(english, japanese)); }

// CLI11's own layout pads the names' column by bytes; a Japanese label
// ("FILE 必須") takes fewer columns than bytes, so the column is padded by
// columns here, as CLI11 pads plain ASCII.
class ColumnFormatter : public CLI::Formatter {
public:
    std::string make_option(const CLI::Option* option, bool positional) const override {
        const std::size_t width = get_column_width();
        const std::string name = "  " + make_option_name(option, positional) + make_option_opts(option);
        const std::string description = make_option_desc(option);
        const std::size_t columns = display::Columns(name);
        std::string out = name + std::string(columns < width ? width - columns : 0, ' ');
        if (!description.empty()) {
            if (columns >= width) out += "\n" + std::string(width, ' ');
            for (const char c : description) {
                out += c;
                if (c == '\n') out += std::string(width, ' ');
            }
        }
        return out + "\n";
    }
};

// The words CLI11 writes itself.
void SpeakInHelp(CLI::Formatter& formatter) {
    formatter.label("Usage", Say("Usage", "使い方"));
    formatter.label("OPTIONS", Say("OPTIONS", "オプション"));
    formatter.label("SUBCOMMAND", Say("SUBCOMMAND", "コマンド"));
    formatter.label("SUBCOMMANDS", Say("SUBCOMMANDS", "コマンド"));
    formatter.label("Positionals", Say("Positionals", "引数"));
    formatter.label("REQUIRED", Say("REQUIRED", "必須"));
}

constexpr const char* kCommandNames[] = {"list",    "export",  "import",   "check",  "restore",
                                         "history", "diff",    "relocate", "missing"};

std::string CommandList() {
    std::string names;
    for (const char* name : kCommandNames) names += (names.empty() ? "" : ", ") + std::string(name);
    return names;
}

// The first word that is no option nor an option's value must name a
// command; CLI11 would only call it an unexpected argument.
std::string CommandProblem(const std::vector<std::string>& args) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--module" || arg == "--encoding" || arg == "--lang") {
            ++i;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            if (arg == "--help" || arg == "-h" || arg == "--version") return {};
            continue;
        }
        for (const char* name : kCommandNames) {
            if (arg == name) return {};
        }
        return Say("unknown command '" + arg + "'; commands are " + CommandList(),
                   "コマンド '" + arg + "' はありません。コマンド: " + CommandList());
    }
    return Say("no command given; commands are " + CommandList() + " (favtool --help tells more)",
               "コマンドがありません。コマンド: " + CommandList() + " (詳しくは favtool --help で表示します)");
}

// A history entry's number: CLI11's own checks would name the bounds of a
// double. How many entries there are is known only once the key is read.
std::string EntryNumberProblem(const std::string& text) {
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    const std::string range = Say("entries are numbered from 1 (the newest) to the number favtool history lists",
                                  "履歴の番号は 1 (最新) から favtool history が表示する数までです");
    if (!digits || text.find_first_not_of('0') == std::string::npos) {
        return Say("'" + text + "' is not a history entry: ", "'" + text + "' は履歴の番号ではありません: ") + range;
    }
    if (text.size() - text.find_first_not_of('0') > 6) {
        return Say("there is no history entry " + text + ": ", "履歴 " + text + " はありません: ") + range;
    }
    return {};
}

std::string FileNameProblem(const std::string& text) {
    return text.empty() ? Say("the file name is empty", "ファイル名が空です") : "";
}

// A module name is the DLL's file name up to its first dot, as the plug-in
// derives its key: anything else names a key the plug-in never reads.
std::string ModuleNameProblem(const std::string& name) {
    if (name.empty()) return Say("the module name is empty", "モジュール名が空です");
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) {
        if (dot == 0) {
            return Say("a module name is the DLL's file name up to its first dot, so it holds no dot",
                       "モジュール名は DLL のファイル名の最初のドットまでなので、ドットを含みません");
        }
        return Say("a module name is the DLL's file name up to its first dot: use --module " + name.substr(0, dot),
                   "モジュール名は DLL のファイル名の最初のドットまでです: --module " + name.substr(0, dot) +
                       " と指定します");
    }
    if (name.find_first_of("\\/:*?\"<>|") != std::string::npos) {
        return Say("a module name is part of a file name and holds none of \\ / : * ? \" < > |",
                   "モジュール名はファイル名の一部なので、\\ / : * ? \" < > | を含みません");
    }
    return {};
}

// The C runtime reads "C:\My Docs\" as C:\My Docs" and joins it with what
// follows; no argument of favtool holds a quote otherwise.
std::string QuoteProblem(const std::vector<std::string>& args) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i].find('"') == std::string::npos) continue;
        return Say("the argument '" + args[i] +
                       "' holds a quote (\"). A backslash right before a closing quote keeps the quote in the "
                       "argument: drop the trailing backslash, as in \"C:\\My Docs\" instead of \"C:\\My Docs\\\"",
                   "引数 '" + args[i] +
                       "' に引用符 (\") が含まれています。閉じる引用符の直前に \\ があると、引用符が引数に残ります。"
                       "末尾の \\ を除いて、\"C:\\My Docs\\\" ではなく \"C:\\My Docs\" と指定してください");
    }
    return {};
}

// The help is built in the language spoken, so --lang is read ahead of the
// parser (which checks it again and refuses a value it does not know).
Language LanguageOf(const std::vector<std::string>& args) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::optional<Language> named;
        if (args[i] == "--lang" && i + 1 < args.size()) named = LanguageNamed(args[i + 1]);
        if (args[i].rfind("--lang=", 0) == 0) named = LanguageNamed(args[i].substr(7));
        if (named) return *named;
    }
    return UserLanguage();
}

int Usage(const std::string& message) {
    PrintErr("favtool: " + message + "\n");
    return kExitUsage;
}

// One of the names, checked as CLI::IsMember checks it (and shown in the
// help as it shows it), refused in the language spoken.
CLI::Validator OneOf(const std::vector<std::string>& names) {
    std::string set;
    for (const std::string& name : names) set += (set.empty() ? "" : ",") + name;
    set = "{" + set + "}";
    return CLI::Validator(
        [names, set](std::string& input) -> std::string {
            for (const std::string& name : names) {
                if (input == name) return {};
            }
            return Say(input + " not in " + set, "'" + input + "' は使えません。" + set + " のどれかを指定します");
        },
        set);
}

// The first word of CLI11's message that names an option ("--history: ..."),
// else its first word ("FILE is required").
std::string NamedInParseError(const std::string& what) {
    std::istringstream words(what);
    std::string first;
    std::string word;
    while (words >> word) {
        while (!word.empty() && (word.back() == ':' || word.back() == ',')) word.pop_back();
        if (first.empty()) first = word;
        if (word.size() > 1 && word[0] == '-') return word;
    }
    return first;
}

// CLI11 words its refusals in English: the same said in Japanese, from the
// kind of error and what its message names. The checks' own messages
// (ValidationError) are already in the language spoken.
std::string JapaneseParseProblem(const CLI::ParseError& e) {
    std::string what = e.what();
    const std::string named = NamedInParseError(what);
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
        const std::size_t colon = what.find(": ");
        const std::string extras = colon == std::string::npos ? what : what.substr(colon + 2);
        return (extras.rfind('-', 0) == 0 ? "不明なオプションです: " : "余分な引数です: ") + extras;
    }
    if (dynamic_cast<const CLI::RequiredError*>(&e)) return named + " を指定してください";
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
        return what.find("missing") != std::string::npos ? named + " の値がありません"
                                                          : named + " の値の数が正しくありません";
    }
    if (dynamic_cast<const CLI::ValidationError*>(&e)) return what;
    if (dynamic_cast<const CLI::ConversionError*>(&e)) return named + " の値を解釈できません";
    return "コマンド ラインを解釈できません: " + named;
}

// What the parser refused, or its help or version, and the exit status.
int ParseProblem(const CLI::App& app, const CLI::ParseError& e) {
    if (SpeaksJapanese() && e.get_exit_code() != 0) {
        PrintErr("favtool: " + JapaneseParseProblem(e) + "\n使い方は favtool --help で表示します\n");
        return kExitUsage;
    }
    std::ostringstream out;
    std::ostringstream err;
    const int status = app.exit(e, out, err);
    PrintOut(out.str());
    PrintErr(err.str());
    return status == 0 ? kExitSuccess : kExitUsage;
}

// Started from Explorer: what favtool is, and how to run it.
std::string ConsoleStart(const std::string& help) {
    return Say("favtool is a console program. Open a command prompt in its folder (in Explorer, type cmd in the "
               "address bar) and run it there, for example: favtool list\n\n" +
                   help + "\nPress any key to close this window.\n",
               display::Wrap("favtool はコンソール プログラムです。favtool のあるフォルダーでコマンド プロンプトを開き "
                             "(エクスプローラーのアドレス バーに cmd と入力します)、そこで実行してください。例: "
                             "favtool list",
                             kHelpColumns) +
                   "\n\n" + help + "\n何かキーを押すと、このウィンドウを閉じます。\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // No "insert a disk" dialog for a favourite on an empty or vanished drive.
    ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS);

    std::vector<std::string> args;
    args.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) args.push_back(ToUtf8(argv[i]));
    // The Windows way of asking for help; "?" is in no path, so it is never a file name.
    for (std::string& arg : args) {
        if (arg == "/?") arg = "--help";
    }
    std::vector<const char*> utf8Argv;
    utf8Argv.reserve(args.size());
    for (const std::string& arg : args) utf8Argv.push_back(arg.c_str());

    UseLanguage(LanguageOf(args));

    CLI::App app{Say(kDescription, kDescriptionJapanese), "favtool"};
    app.allow_windows_style_options(false);  // "/..." is a path here, not an option
    app.require_subcommand(1, 1);
    app.fallthrough();
    // Set before the options and commands, which take them over.
    auto formatter = std::make_shared<ColumnFormatter>();
    formatter->column_width(kNameColumns);
    SpeakInHelp(*formatter);
    app.formatter(formatter);
    app.option_defaults()->group(Say("Options", "オプション"));
    app.group(Say("Subcommands", "コマンド"));
    app.set_help_flag("-h,--help", Say("Print this help message and exit", "このヘルプを表示して終了します"));
    app.set_version_flag("--version", "favtool " FAVORITES_VERSION,
                         Say("Display program version information and exit", "バージョンを表示して終了します"));
    std::string module = "Favorites";
    app.add_option("--module", module, Fit("the plug-in's file name up to its first dot",
                                           "プラグインのファイル名の最初のドットまで"))
        ->type_name(Say("TEXT", "名前"))
        ->capture_default_str()
        ->check(ModuleNameProblem);
    std::string encoding;
    app.add_option("--encoding", encoding,
                   Fit("redirected output in utf8, or in the console's code page (the default when there is a "
                       "console)",
                       "リダイレクトした出力を utf8 (UTF-8) か console (コンソールのコード ページ。コンソールが"
                       "あるときの既定) で書きます"))
        ->type_name(Say("TEXT", "文字コード"))
        ->check(OneOf({"utf8", "console"}));
    std::string language;
    app.add_option("--lang", language,
                   Fit("the language of messages and help: ja (Japanese) or en (English); the default is "
                       "Windows' display language",
                       "メッセージとヘルプの言語: ja (日本語) か en (英語)。既定は Windows の表示言語です"))
        ->type_name(Say("TEXT", "言語"))
        ->check(OneOf({"ja", "en"}));

    Options options;
    std::string file;
    std::string from;
    std::string to;
    std::string entry;
    CLI::App* list = app.add_subcommand(
        "list", Fit("print the tree, one favourite a line", "ツリーを、1 行に 1 つのお気に入りで表示します"));
    list->add_flag("--json", options.json,
                   Fit("the tree as one JSON document (importable as it is)",
                       "ツリーを 1 つの JSON で出力します (そのまま import で読み込めます)"));
    list->add_option("--history", entry,
                     Fit("print history entry N instead: 1 the newest", "代わりに履歴 N を表示します: 1 が最新"))
        ->type_name("N")
        ->check(EntryNumberProblem);
    CLI::App* exportCommand =
        app.add_subcommand("export", Fit("write the tree to a JSON document", "ツリーを JSON ファイルに書き出します"));
    exportCommand
        ->add_option("FILE", file,
                     Fit("the document to write; - for standard output", "書き出す JSON ファイル。- なら標準出力"))
        ->type_name("")
        ->required()
        ->check(FileNameProblem);
    exportCommand
        ->add_option("--history", entry,
                     Fit("write history entry N instead: 1 the newest", "代わりに履歴 N を書き出します: 1 が最新"))
        ->type_name("N")
        ->check(EntryNumberProblem);
    CLI::App* importCommand = app.add_subcommand(
        "import", Fit("replace the tree with a JSON document's", "ツリーを JSON ファイルのツリーで置き換えます"));
    importCommand
        ->add_option("FILE", file,
                     Fit("the document to read; - for standard input", "読み込む JSON ファイル。- なら標準入力"))
        ->type_name("")
        ->required()
        ->check(FileNameProblem);
    const std::string dryRun =
        Fit("say what would be replaced, writing nothing", "何が置き換わるかを表示します。何も書き込みません");
    importCommand->add_flag("--dry-run", options.dryRun, dryRun);
    importCommand->add_flag("--create", options.create,
                            Fit("create the module's key if it does not exist", "モジュールのキーがなければ作ります"));
    CLI::App* check = app.add_subcommand("check", Fit("report whether the stored tree loads completely",
                                                      "保存されたツリーが最後まで読めるかを調べます"));
    check->add_flag("--json", options.json, Fit("the report as one JSON document", "結果を JSON で出力します"));
    CLI::App* restore = app.add_subcommand(
        "restore", Fit("swap FavoriteArrayBackup in, or (--history N) put back an earlier value",
                       "FavoriteArrayBackup と入れ替えるか、--history N で以前の値に戻します"));
    restore->add_flag("--dry-run", options.dryRun, dryRun);
    restore->add_option("--history", entry,
                        Fit("the history entry to put back: 1 the newest", "戻す履歴: 1 が最新"))
        ->type_name("N")
        ->check(EntryNumberProblem);
    restore->add_flag("--force", options.force,
                      Fit("also a backup or entry that does not load completely, or an entry whose restore drops it "
                          "or older entries from the history",
                          "最後まで読めないバックアップや履歴も、戻すとその履歴やそれより古い履歴が消える履歴も"
                          "戻します"));
    CLI::App* history = app.add_subcommand(
        "history", Fit("list the earlier values kept, newest first", "残っている以前の値を新しい順に表示します"));
    history->add_flag("--json", options.json, Fit("the entries as one JSON document", "履歴を JSON で出力します"));
    CLI::App* diff = app.add_subcommand("diff", Fit("compare a history entry's favourites with FavoriteArray's",
                                                    "履歴と FavoriteArray のお気に入りを比べます"));
    diff->add_option("N", entry,
                     Fit("the history entry: 1 (the default) the newest", "比べる履歴: 1 (既定) が最新"))
        ->type_name("")
        ->check(EntryNumberProblem);
    CLI::App* relocate = app.add_subcommand(
        "relocate", Fit("move favourites from one folder to another", "お気に入りを別のフォルダーへ移します"));
    relocate->add_option("OLD", from, Fit("the old folder (or file)", "元のフォルダー (またはファイル)"))
        ->type_name("")
        ->required();
    relocate
        ->add_option("NEW", to,
                     Fit("what replaces it: a path from a drive or share",
                         "置き換えるパス: ドライブか共有から始まるパス"))
        ->type_name("")
        ->required();
    relocate->add_flag("--dry-run", options.dryRun,
                       Fit("print the changes without writing them", "変更を表示します。書き込みません"));
    relocate->add_flag("--change-case", options.changeCase,
                       Fit("also write changes of case (or slashes) only",
                           "大文字と小文字 (またはスラッシュ) だけの変更も書き込みます"));
    CLI::App* missing = app.add_subcommand(
        "missing", Fit("list favourites whose files do not exist or cannot be checked",
                       "ファイルがないか確認できないお気に入りを表示します"));
    missing->add_flag("--json", options.json, Fit("the findings as one JSON document", "結果を JSON で出力します"));
    // Each command's help shows that command; the whole story is under favtool --help.
    // A command's help flag is made before it takes over the option group's name.
    for (CLI::App* command : app.get_subcommands({})) {
        command->footer(Say(kCommandFooter, kCommandFooterJapanese));
        command->get_help_ptr()->group(Say("Options", "オプション"));
    }
    app.footer(Say(kFooter, kFooterJapanese));

    // Started from Explorer, without arguments: the window would close before
    // anyone could read it. With arguments (Task Scheduler, a shortcut,
    // Start-Process, Win+R) it was given work to do, and does it.
    if (args.size() == 1 && AloneOnOwnConsole()) {
        PrintOut(ConsoleStart(app.help()));
        WaitForKey();
        return kExitUsage;
    }
    if (const std::string problem = QuoteProblem(args); !problem.empty()) return Usage(problem);
    if (const std::string problem = CommandProblem(args); !problem.empty()) return Usage(problem);

    try {
        app.parse(static_cast<int>(utf8Argv.size()), utf8Argv.data());
    } catch (const CLI::ParseError& e) {
        return ParseProblem(app, e);
    }
    if (!entry.empty()) options.historyEntry = std::stoi(entry);
    ConfigureOutput(encoding == "utf8"      ? OutputEncoding::Utf8
                    : encoding == "console" ? OutputEncoding::Console
                                            : OutputEncoding::Automatic);

    options.module = FromUtf8(module);
    int status = kExitUsage;
    try {
        if (*list) status = ListCommand(options);
        if (*exportCommand) status = ExportCommand(options, FromUtf8(file));
        if (*importCommand) status = ImportCommand(options, FromUtf8(file));
        if (*check) status = CheckCommand(options);
        if (*restore) status = RestoreCommand(options);
        if (*relocate) status = RelocateCommand(options, FromUtf8(from), FromUtf8(to));
        if (*missing) status = MissingCommand(options);
        if (*history) status = HistoryCommand(options);
        if (*diff) status = DiffCommand(options);
    } catch (const ToolError& e) {
        PrintErr(std::string("favtool: ") + e.what() + "\n");
        status = e.Status();
    } catch (const std::bad_alloc&) {
        PrintErr("favtool: " + Say("out of memory; nothing was changed", "メモリが足りません。何も変更していません") +
                 "\n");
        status = kExitFailed;
    } catch (const std::exception& e) {
        PrintErr("favtool: " + Say("unexpected failure: ", "予期しないエラーです: ") + e.what() + "\n");
        status = kExitFailed;
    }
    if (const std::optional<std::string> failure = OutputFailure()) {
        PrintErr("favtool: " +
                 Say("the output could not be written whole (", "出力を最後まで書き込めませんでした (") + *failure +
                 ")\n");
        return kExitFailed;
    }
    return status;
}
