// The user guide (docs/使用说明.txt, shipped in the release zip) explains every text the program
// shows: each constant of src/ui/messages.h must appear in it, so a message that changes or is
// added cannot leave the guide behind. The header is read as text, so a new constant is checked
// without being listed anywhere else.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string read_whole(const char* utf8_path) {
    std::ifstream in(std::filesystem::u8path(utf8_path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Message {
    std::string name;
    std::string text;
};

// The value of a C++ string literal's body: the escapes a message can hold.
std::string unescape(const std::string& body) {
    std::string text;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '\\' || i + 1 == body.size()) {
            text += body[i];
            continue;
        }
        char next = body[++i];
        text += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
    }
    return text;
}

bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

size_t skip_blanks(const std::string& text, size_t at) {
    while (at < text.size() &&
           (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n')) {
        ++at;
    }
    return at;
}

// The index of the closing quote of the string literal opening at `at`, or npos when none
// opens there.
size_t literal_end(const std::string& text, size_t at) {
    if (at >= text.size() || text[at] != '"') return std::string::npos;
    for (size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            return i;
        }
    }
    return std::string::npos;
}

// Every `kName = "…" "…";` (or `kName[] = …`) of a header outside comments: the name and its
// literals joined.
std::vector<Message> messages_of(const std::string& header) {
    std::vector<Message> messages;
    for (size_t at = 0; at < header.size();) {
        if (header.compare(at, 2, "//") == 0) {
            at = header.find('\n', at);
            continue;
        }
        bool starts_name = header[at] == 'k' && (at == 0 || !is_name_char(header[at - 1]));
        if (!starts_name) {
            ++at;
            continue;
        }
        size_t name_end = at;
        while (name_end < header.size() && is_name_char(header[name_end])) ++name_end;
        Message message{header.substr(at, name_end - at), ""};
        at = name_end;
        size_t next = skip_blanks(header, name_end);
        if (header.compare(next, 2, "[]") == 0) next = skip_blanks(header, next + 2);
        if (next >= header.size() || header[next] != '=') continue;
        next = skip_blanks(header, next + 1);
        bool any = false;
        for (size_t close; (close = literal_end(header, next)) != std::string::npos;) {
            message.text += unescape(header.substr(next + 1, close - next - 1));
            next = skip_blanks(header, close + 1);
            any = true;
        }
        if (any && next < header.size() && header[next] == ';') messages.push_back(message);
        at = next;
    }
    return messages;
}

std::string trimmed(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

// The fixed parts of a message: a {placeholder} stands for a path, a number or a cause, and the
// blanks that join the parts to it are not part of the wording.
std::vector<std::string> fixed_parts(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t open = text.find('{', start);
        size_t close = open == std::string::npos ? open : text.find('}', open);
        if (close == std::string::npos) open = text.size();
        std::string part = trimmed(text.substr(start, open - start));
        if (!part.empty()) parts.push_back(part);
        if (close == std::string::npos) break;
        start = close + 1;
    }
    return parts;
}

// The names of the messages whose wording the guide does not hold.
std::vector<std::string> missing_from_guide(const std::string& header, const std::string& guide) {
    std::vector<std::string> missing;
    for (const Message& message : messages_of(header)) {
        for (const std::string& part : fixed_parts(message.text)) {
            if (guide.find(part) == std::string::npos) {
                missing.push_back(message.name);
                break;
            }
        }
    }
    return missing;
}

TEST(GuideCheck, FindsEveryMessageTheGuideDoesNotHold) {
    const std::string guide = "进度：100 %  转换失败：……  C:\\x 不存在  说“好”  第 … 个，共 … 个";
    struct Case {
        const char* what;
        std::string header;
        std::vector<std::string> missing;
    };
    const Case cases[] = {
        {"held as it is", R"(inline constexpr std::string_view kDone = "进度：100 %";)", {}},
        {"a changed wording",
         R"(inline constexpr std::string_view kDone = "进度：100%";)",
         {"kDone"}},
        {"a blank that joins a path", R"(constexpr std::string_view kMissing = " 不存在";)", {}},
        {"a cause after a colon", R"(constexpr std::string_view kFailed = "转换失败：";)", {}},
        {"placeholders", R"(constexpr std::string_view kCount = "第 {n} 个，共 {total} 个";)", {}},
        {"a placeholder between unknown words",
         R"(constexpr std::string_view kCount = "第 {n} 项，共 {total} 个";)",
         {"kCount"}},
        {"an escaped quote", R"(constexpr char kSaid[] = "说\"好\"";)", {"kSaid"}},
        {"literals over two lines",
         "inline constexpr std::string_view kLong =\n    \"转换\"\n    \"失败：\";\n"
         "inline constexpr std::string_view kOther = \"没有\";",
         {"kOther"}},
        {"a comment with a quote",
         "// \"不在说明里\"\nconstexpr std::string_view kDone = \"进度：\";",
         {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(missing_from_guide(c.header, guide), c.missing) << c.what;
    }
}

TEST(Guide, ExplainsEveryMessageTheProgramShows) {
    const std::string header = read_whole(QUELVARN_MESSAGES_HEADER);
    const std::string guide = read_whole(QUELVARN_GUIDE_SOURCE);
    ASSERT_FALSE(header.empty()) << QUELVARN_MESSAGES_HEADER;
    ASSERT_FALSE(guide.empty()) << QUELVARN_GUIDE_SOURCE;
    // A header the pattern no longer reads would make the check pass on nothing.
    ASSERT_GE(messages_of(header).size(), 10u) << "src/ui/messages.h is not read as expected";
    EXPECT_EQ(missing_from_guide(header, guide), std::vector<std::string>())
        << "docs/使用说明.txt does not explain these messages of src/ui/messages.h";
}

}  // namespace
