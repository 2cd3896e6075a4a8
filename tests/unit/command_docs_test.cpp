// Every command has a comment of its own: each free function declared at file scope of an
// engine/commands_*.h header must have a // comment line directly above its first line (a
// comment block whose last line touches the declaration). The rule is deliberately strict:
// - One comment documents one declaration. A block above a group (EntityX, EntityY, EntityZ)
//   documents only the first of them; each of the others needs its own line. The reference
//   build (cmake/reference.cmake) attaches a comment to the one declaration below it, so a
//   shared block would leave the rest of the group undocumented there too.
// - A blank line or a preprocessor line between the comment and the declaration breaks the
//   link, as does a comment at the end of a code line (including the declaration's own line).
//   A declaration that starts on a line after other code has no line of its own above it.
// - Only // comments count (/// included): the headers use no other kind.
// Declarations may span several lines and hold default arguments with parentheses, braces,
// strings and comments of their own. Anything inside braces (class, struct, enum or namespace
// bodies, inline function bodies) is skipped; an inline function defined at file scope counts
// as a declaration.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A function declared (or defined) at file scope of a header.
struct Declaration {
    int line = 0; // the line its declaration starts on, from 1
    std::string name;
    bool documented = false;

    friend bool operator==(const Declaration&, const Declaration&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Declaration& d) {
        return out << d.line << ": " << d.name << (d.documented ? " (documented)" : "");
    }
};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool IsIdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool IsCommentLine(std::string_view line) {
    return Trim(line).starts_with("//");
}

// The code of one line: comments removed and the contents of string and character literals
// dropped (their quotes kept), so that neither is taken for code. in_block carries an open
// block comment from one line to the next.
std::string CodeOf(std::string_view line, bool& in_block) {
    std::string code;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        const char next = i + 1 < line.size() ? line[i + 1] : '\0';
        if (in_block) {
            if (c == '*' && next == '/') {
                in_block = false;
                ++i;
            }
            continue;
        }
        if (c == '/' && next == '/') break;
        if (c == '/' && next == '*') {
            in_block = true;
            code += ' ';
            ++i;
            continue;
        }
        if (c == '"' || c == '\'') {
            for (++i; i < line.size() && line[i] != c; ++i) {
                if (line[i] == '\\') ++i;
            }
            code += c;
            code += c;
            continue;
        }
        code += c;
    }
    return code;
}

// The name of the function whose head the statement is (a declaration up to its ';', or a
// definition up to its '{'), or "" when the statement declares something else.
std::string FunctionName(std::string s) {
    // Attributes may hold parentheses of their own.
    for (std::size_t at; (at = s.find("[[")) != std::string::npos;) {
        const std::size_t end = s.find("]]", at);
        s.erase(at, end == std::string::npos ? std::string::npos : end + 2 - at);
    }
    std::string_view rest = Trim(s);
    // A leading template parameter list.
    if (rest.starts_with("template") && !IsIdentifierChar(rest.size() > 8 ? rest[8] : ' ')) {
        rest = Trim(rest.substr(8));
        int angles = 0;
        std::size_t i = 0;
        for (; i < rest.size(); ++i) {
            if (rest[i] == '<') ++angles;
            if (rest[i] == '>' && --angles == 0) break;
        }
        rest = Trim(rest.substr(std::min(i + 1, rest.size())));
    }
    std::size_t word_end = 0;
    while (word_end < rest.size() && IsIdentifierChar(rest[word_end])) ++word_end;
    static constexpr std::string_view kNotFunctions[] = {
        "using", "typedef", "class", "struct", "union", "enum", "namespace", "static_assert",
    };
    if (std::ranges::find(kNotFunctions, rest.substr(0, word_end)) != std::end(kNotFunctions))
        return "";
    // The parameter list is the first '(' outside template argument lists; an '=' before it
    // makes the statement a variable with an initialiser.
    int angles = 0;
    std::size_t open = std::string_view::npos;
    for (std::size_t i = 0; i < rest.size() && open == std::string_view::npos; ++i) {
        const char c = rest[i];
        if (c == '<') ++angles;
        if (c == '>' && angles > 0) --angles;
        if (angles > 0) continue;
        if (c == '=') return "";
        if (c == '(') open = i;
    }
    if (open == std::string_view::npos) return "";
    std::size_t end = open;
    while (end > 0 && std::isspace(static_cast<unsigned char>(rest[end - 1]))) --end;
    std::size_t begin = end;
    while (begin > 0 && (IsIdentifierChar(rest[begin - 1]) || rest[begin - 1] == ':')) --begin;
    std::string name(rest.substr(begin, end - begin));
    while (name.starts_with(':')) name.erase(0, 1);
    static constexpr std::string_view kKeywords[] = {"decltype", "alignas",  "sizeof",
                                                     "alignof",  "noexcept", "operator"};
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name.front())) ||
        std::ranges::find(kKeywords, std::string_view(name)) != std::end(kKeywords))
        return "";
    return name;
}

// Every function declared or defined at file scope of the header text, in order.
std::vector<Declaration> FileScopeFunctions(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t from = 0; from <= text.size();) {
        std::size_t to = text.find('\n', from);
        if (to == std::string_view::npos) to = text.size();
        std::string_view line = text.substr(from, to - from);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        from = to + 1;
    }

    std::vector<Declaration> found;
    bool in_block = false;
    bool directive = false; // a preprocessor line continued with a backslash
    int depth = 0;          // braces open around the current position
    int parens = 0;         // parentheses open in the current statement
    std::string statement;
    Declaration current; // line 0: no statement started
    const auto finish = [&] {
        if (current.line != 0) {
            current.name = FunctionName(statement);
            if (!current.name.empty()) found.push_back(current);
        }
        statement.clear();
        current = Declaration{};
        parens = 0;
    };

    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string code = CodeOf(lines[n], in_block);
        const std::string_view trimmed = Trim(code);
        if (directive || trimmed.starts_with('#')) {
            directive = trimmed.ends_with('\\');
            continue;
        }
        bool code_before = false; // code earlier on this line
        for (const char c : code) {
            if (std::isspace(static_cast<unsigned char>(c))) {
                if (current.line != 0) statement += ' ';
                continue;
            }
            if (depth > 0) {
                if (c == '{') ++depth;
                if (c == '}') --depth;
                code_before = true;
                continue;
            }
            if (current.line == 0) {
                current.line = int(n) + 1;
                current.documented = !code_before && n > 0 && IsCommentLine(lines[n - 1]);
            }
            code_before = true;
            if (c == '{' && parens == 0) {
                finish();
                depth = 1;
                continue;
            }
            statement += c;
            if (c == '(') ++parens;
            if (c == ')') --parens;
            if (c == ';' && parens == 0) finish();
        }
        if (current.line != 0) statement += ' ';
    }
    return found;
}

// ---- The parser, on header snippets ----

struct ParseCase {
    const char* what;
    const char* text;
    std::vector<Declaration> expected;
};

TEST(CommandDocs, ParserFindsFileScopeFunctionsAndTheirComments) {
    const ParseCase cases[] = {
        {"one documented, one not, a /// comment",
         "// Does a.\n"
         "void A(int x);\n"
         "void B();\n"
         "/// Does c.\n"
         "int C(const EntityRef& e);\n",
         {{2, "A", true}, {3, "B", false}, {5, "C", true}}},
        {"a comment over a group documents its first declaration only",
         "// Position along x, y and z.\n"
         "float X(const EntityRef& e);\n"
         "float Y(const EntityRef& e);\n"
         "float Z(const EntityRef& e);\n",
         {{2, "X", true}, {3, "Y", false}, {4, "Z", false}}},
        {"multi-line declaration with default arguments, strings and a comment inside",
         "// Loads frames.\n"
         "TextureRef LoadAnimTexture(const std::string& file, int flags,\n"
         "                           int w = (1 << 4), const std::string& sep = \");{\",\n"
         "                           // a comment inside the list: );\n"
         "                           Box b = {}, int n = 1);\n"
         "void After();\n",
         {{2, "LoadAnimTexture", true}, {6, "After", false}}},
        {"a blank line or a preprocessor line breaks the link",
         "// ---- Section ----\n"
         "\n"
         "void A();\n"
         "// About B.\n"
         "#if 1\n"
         "void B();\n"
         "#endif\n",
         {{3, "A", false}, {6, "B", false}}},
        {"comments at the end of code lines document nothing",
         "void A(); // about A\n"
         "// About B.\n"
         "void B(); void C();\n"
         "int D(\n"
         "    int x); // about D\n"
         "void E();\n",
         {{1, "A", false}, {3, "B", true}, {3, "C", false}, {4, "D", false}, {6, "E", false}}},
        {"bodies are skipped; a function defined at file scope counts",
         "class K {\n"
         "  public:\n"
         "    void Member();\n"
         "};\n"
         "enum E { kOne, kTwo };\n"
         "struct S { int f(int); } ;\n"
         "namespace detail { void Hidden(); }\n"
         "// Inline.\n"
         "inline int Twice(int x) { return 2 * x; }\n"
         "int Undocumented() {\n"
         "    return Twice(0);\n"
         "}\n",
         {{9, "Twice", true}, {10, "Undocumented", false}}},
        {"attributes, templates and return types holding parentheses",
         "// Old.\n"
         "[[deprecated(\"use B\")]] int A(int x);\n"
         "// Generic.\n"
         "template <class T>\n"
         "T Max(T a, T b);\n"
         "// A handler.\n"
         "std::function<void(int)> Handler(const std::string& name);\n",
         {{2, "A", true}, {4, "Max", true}, {7, "Handler", true}}},
        {"no function declared",
         "// Header comment.\n"
         "#pragma once\n"
         "#include \"engine/handles.h\"\n"
         "#define TWICE(x) \\\n"
         "    Twice(x);\n"
         "using Fn = void (*)(int);\n"
         "typedef int (*Old)(int);\n"
         "inline constexpr int kSize = Compute(3);\n"
         "static_assert(sizeof(int) == 4);\n"
         "class Forward;\n"
         "/* void Commented();\n"
         "   void AlsoCommented(); */\n"
         "// void LineCommented();\n"
         "template <class T> struct Box { T get(); };\n",
         {}},
    };
    for (const ParseCase& c : cases) {
        EXPECT_EQ(FileScopeFunctions(c.text), c.expected) << c.what;
    }
}

// ---- The command headers ----

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(CommandDocs, EveryCommandHasACommentOfItsOwn) {
    const std::filesystem::path root = LAPIZ_SOURCE_DIR;
    std::vector<std::filesystem::path> headers;
    for (const auto& entry : std::filesystem::directory_iterator(root / "engine")) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("commands_") && name.ends_with(".h")) headers.push_back(entry.path());
    }
    std::ranges::sort(headers);
    ASSERT_FALSE(headers.empty()) << "no engine/commands_*.h under " << root;

    std::string missing;
    for (const std::filesystem::path& header : headers) {
        const std::string shown = std::filesystem::relative(header, root).generic_string();
        const std::string text = ReadFile(header);
        ASSERT_FALSE(text.empty()) << shown << " cannot be read";
        const std::vector<Declaration> declarations = FileScopeFunctions(text);
        // A header whose commands the parser no longer sees must not pass as documented.
        EXPECT_FALSE(declarations.empty()) << shown << ": no function declarations found";
        for (const Declaration& d : declarations) {
            if (!d.documented)
                missing += shown + ":" + std::to_string(d.line) + ": " + d.name + "\n";
        }
    }
    EXPECT_TRUE(missing.empty()) << "Commands without a comment line directly above them:\n"
                                 << missing;
}

} // namespace
