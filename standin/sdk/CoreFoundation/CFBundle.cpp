// Localized-string lookup over strings tables registered by name, and the
// parser of Apple's .strings syntax that fills them.
#include <cstring>
#include <map>
#include <mutex>

#include "../src/Unicode.h"
#include "CFStringImpl.h"

namespace {

using Table = std::map<std::u16string, std::u16string>;

// Made on first use and never destroyed: tables are registered from static
// constructors of other modules, and may be read from static destructors.
struct Tables {
    std::mutex mutex;
    std::map<std::u16string, Table> byName;
};
Tables& TheTables() {
    static Tables* tables = new Tables;
    return *tables;
}

// A recursive-descent reader of `"key" = "value";` entries over UTF-16 text.
// Each step returns false at a syntax error, leaving what was read so far.
struct StringsParser {
    const std::u16string& s;
    size_t i = 0;

    bool AtEnd() const { return i >= s.size(); }

    // Whitespace and both kinds of comment; false for an unclosed /* comment.
    bool SkipTrivia() {
        while (!AtEnd()) {
            if (s[i] == u' ' || s[i] == u'\t' || s[i] == u'\n' || s[i] == u'\r') {
                ++i;
            } else if (s.compare(i, 2, u"//") == 0) {
                size_t eol = s.find(u'\n', i);
                i = eol == std::u16string::npos ? s.size() : eol + 1;
            } else if (s.compare(i, 2, u"/*") == 0) {
                size_t close = s.find(u"*/", i + 2);
                if (close == std::u16string::npos) return false;
                i = close + 2;
            } else {
                break;
            }
        }
        return true;
    }

    static bool IsWordChar(char16_t c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
               c == u'.' || c == u'$' || c == u':' || c == u'/' || c == u'-';
    }

    static int HexValue(char16_t c) {
        if (c >= u'0' && c <= u'9') return c - u'0';
        if (c >= u'a' && c <= u'f') return c - u'a' + 10;
        if (c >= u'A' && c <= u'F') return c - u'A' + 10;
        return -1;
    }

    // A quoted string with escapes, or a bare word.
    bool ReadString(std::u16string& out) {
        out.clear();
        if (AtEnd()) return false;
        if (s[i] != u'"') {
            while (!AtEnd() && IsWordChar(s[i])) out.push_back(s[i++]);
            return !out.empty();
        }
        for (++i; !AtEnd(); ++i) {
            char16_t c = s[i];
            if (c == u'"') {
                ++i;
                return true;
            }
            if (c != u'\\') {
                out.push_back(c);
                continue;
            }
            if (++i >= s.size()) return false;
            switch (c = s[i]) {
                case u'n': out.push_back(u'\n'); break;
                case u't': out.push_back(u'\t'); break;
                case u'r': out.push_back(u'\r'); break;
                case u'U':
                case u'u': {
                    int v = 0;
                    for (int k = 1; k <= 4; ++k) {
                        int h = i + k < s.size() ? HexValue(s[i + k]) : -1;
                        if (h < 0) return false;
                        v = v * 16 + h;
                    }
                    out.push_back(static_cast<char16_t>(v));
                    i += 4;
                    break;
                }
                default: out.push_back(c);  // \" \\ \' and anything else stand for themselves
            }
        }
        return false;  // unterminated
    }

    bool Expect(char16_t c) {
        if (!SkipTrivia() || AtEnd() || s[i] != c) return false;
        ++i;
        return true;
    }

    void Parse(Table& table) {
        std::u16string key, value;
        while (SkipTrivia() && !AtEnd()) {
            if (!ReadString(key) || !SkipTrivia() || AtEnd()) return;
            if (s[i] == u'=') {
                ++i;
                if (!SkipTrivia() || !ReadString(value)) return;
            } else {
                value = key;
            }
            if (!Expect(u';')) return;
            table[key] = value;
        }
    }
};

}  // namespace

extern "C" {

void _CFStubRegisterStringsTable(const char* tableName, const char* stringsText, size_t len) {
    if (tableName == nullptr) return;
    std::u16string text = stringsText ? unicode::FromUtf8(stringsText, len) : std::u16string();
    if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);  // byte-order mark
    Table table;
    StringsParser{text}.Parse(table);
    std::u16string name = unicode::FromUtf8(tableName, std::strlen(tableName));
    Tables& tables = TheTables();
    std::lock_guard<std::mutex> lock(tables.mutex);
    tables.byName[name] = std::move(table);
}

CFIndex _CFStubStringsTableSize(const char* tableName) {
    if (tableName == nullptr) return -1;
    Tables& tables = TheTables();
    std::lock_guard<std::mutex> lock(tables.mutex);
    auto it = tables.byName.find(unicode::FromUtf8(tableName, std::strlen(tableName)));
    return it == tables.byName.end() ? -1 : static_cast<CFIndex>(it->second.size());
}

CFStringRef CFBundleCopyLocalizedString(CFBundleRef bundle, CFStringRef key, CFStringRef value, CFStringRef tableName) {
    if (bundle != nullptr && key != nullptr) {
        const std::u16string& name = tableName ? cfstub::Chars(tableName) : u"Localizable";
        Tables& tables = TheTables();
        std::lock_guard<std::mutex> lock(tables.mutex);
        auto table = tables.byName.find(name);
        if (table != tables.byName.end()) {
            auto entry = table->second.find(cfstub::Chars(key));
            if (entry != table->second.end()) return cfstub::NewString(entry->second);
        }
    }
    CFStringRef fallback = value != nullptr && CFStringGetLength(value) > 0 ? value : key;
    return static_cast<CFStringRef>(CFRetain(fallback));
}

}  // extern "C"
