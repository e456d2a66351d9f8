// The one way the engine and the game read an XML data file: size-capped, regular files only,
// and never parsed when it nests deeper than the parser's recursion can bear.
#include "Zan/ZanResource.h"

#include "ZanWin32.h"

#include <tinyxml.h>

#include <cctype>
#include <cstring>
#include <string>

namespace
{
const size_t kMaxFileBytes = 16u << 20; // far beyond any real resource or map file

bool StartsWith(const std::string& text, size_t at, const char* prefix)
{
    return text.compare(at, std::strlen(prefix), prefix) == 0;
}

// The parser's own test for the start of an element name (legacy mode takes any byte of a
// multi-byte character as a letter).
bool StartsName(unsigned char c)
{
    return c >= 127 || std::isalpha(c) || c == '_';
}
} // namespace

int ZanXmlNestingDepth(const std::string& text)
{
    // Walks the text the way the parser tokenises it, counting the element levels it would
    // recurse into. A close never takes the count below zero: the parser reads a stray close
    // at the top as an unknown node, and inside an element a wrong close ends the parse. Where
    // the parser's reading of a region is uncertain (a '<' or '>' inside a quoted value of a
    // declaration), the text counts as too deep.
    const int kRefused = 1 << 30;
    int depth = 0, deepest = 0;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i)
    {
        if (text[i] != '<')
            continue;
        size_t end;
        if (StartsWith(text, i, "<!--"))
            end = text.find("-->", i + 4), end = end == std::string::npos ? n : end + 2;
        else if (StartsWith(text, i, "<![CDATA["))
            end = text.find("]]>", i + 9), end = end == std::string::npos ? n : end + 2;
        else if (i + 1 < n && text[i + 1] == '?' && i + 5 <= n &&
                 (text.compare(i + 2, 3, "xml") == 0 || text.compare(i + 2, 3, "XML") == 0))
        {
            // A declaration: quoted values may or may not end it, depending on their names.
            char quote = 0;
            for (end = i + 2; end < n; ++end)
            {
                const char c = text[end];
                if (quote && c == quote)
                    quote = 0;
                else if (!quote && (c == '"' || c == '\''))
                    quote = c;
                else if (quote && (c == '<' || c == '>'))
                    return kRefused;
                else if (!quote && c == '>')
                    break;
            }
        }
        else if (i + 1 < n && text[i + 1] == '/')
        {
            // A close tag: the parser reads its name up to the '>'.
            end = text.find(">", i + 2);
            if (end == std::string::npos)
                end = n;
            if (depth > 0)
                --depth;
        }
        else if (i + 1 < n && StartsName((unsigned char)text[i + 1]))
        {
            // An element: quoted attribute values may hold '>' and "/>".
            char quote = 0;
            for (end = i + 1; end < n; ++end)
            {
                const char c = text[end];
                if (quote)
                {
                    if (c == quote)
                        quote = 0;
                }
                else if (c == '"' || c == '\'')
                    quote = c;
                else if (c == '>')
                    break;
            }
            if (!(end < n && text[end - 1] == '/'))
                ++depth;
            if (depth > deepest)
                deepest = depth;
        }
        else
        {
            // Anything else after '<' ("<!DOCTYPE", "<?other", "< x") the parser skips to '>'.
            end = text.find(">", i + 1);
            if (end == std::string::npos)
                end = n;
        }
        i = end;
    }
    return deepest;
}

bool ZanLoadXml(const char* path, TiXmlDocument& doc)
{
    std::string text;
    if (!path || !ZanFileReadAll(path, kMaxFileBytes, text))
        return false;
    // Legacy mode hands back the bytes as they are: a byte-order mark would read as text, and
    // the parser stops at a zero byte anyway.
    const size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    if (StartsWith(text, 0, "\xEF\xBB\xBF"))
        text.erase(0, 3);
    if (text.empty() || ZanXmlNestingDepth(text) > kZanXmlMaxDepth)
        return false;
    doc.Parse(text.c_str(), nullptr, TIXML_ENCODING_LEGACY);
    return !doc.Error();
}
