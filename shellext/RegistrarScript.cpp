#include "RegistrarScript.h"

#include <cctype>
#include <cstring>

namespace registrar {

bool replaceVariables(const std::string& text, const Replacements& replacements, std::string& replaced)
{
    replaced.clear();
    size_t position = 0;
    for (;;) {
        const size_t open = text.find('%', position);
        replaced += text.substr(position, open - position);
        if (open == std::string::npos)
            return true;
        const size_t close = text.find('%', open + 1);
        if (close == std::string::npos)
            return false;
        const std::string name = text.substr(open + 1, close - open - 1);
        if (name.empty()) {
            replaced += '%';
        } else {
            const auto found = replacements.find(name);
            if (found == replacements.end())
                return false;
            replaced += found->second;
        }
        position = close + 1;
    }
}

namespace {

struct Token {
    std::string text;
    bool quoted = false;

    bool is(const char* symbol) const { return !quoted && text == symbol; }
    bool isWord(const char* word) const { return !quoted && _stricmp(text.c_str(), word) == 0; }
};

bool isSymbol(char c)
{
    return c == '{' || c == '}' || c == '=';
}

bool readQuoted(const std::string& text, size_t& position, Token& token)
{
    token.quoted = true;
    for (++position; position < text.size(); ++position) {
        if (text[position] != '\'') {
            token.text += text[position];
        } else if (position + 1 < text.size() && text[position + 1] == '\'') {
            token.text += '\'';
            ++position;
        } else {
            ++position;
            return true;
        }
    }
    return false;
}

bool tokenize(const std::string& text, std::vector<Token>& tokens)
{
    size_t position = 0;
    while (position < text.size()) {
        const char c = text[position];
        Token token;
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++position;
            continue;
        }
        if (c == '\'') {
            if (!readQuoted(text, position, token))
                return false;
        } else if (isSymbol(c)) {
            token.text = c;
            ++position;
        } else {
            while (position < text.size() && !std::isspace(static_cast<unsigned char>(text[position])) &&
                   !isSymbol(text[position]) && text[position] != '\'')
                token.text += text[position++];
        }
        tokens.push_back(token);
    }
    return true;
}

HKEY rootHandle(const Token& name)
{
    return name.quoted ? nullptr : rootKeyNamed(name.text);
}

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    bool parse(std::vector<RootKey>& roots)
    {
        while (!atEnd()) {
            RootKey root;
            root.name = peek().text;
            root.handle = rootHandle(next());
            if (!root.handle || !expect("{") || !parseBlock(root.keys, nullptr))
                return false;
            roots.push_back(std::move(root));
        }
        return true;
    }

private:
    bool atEnd() const { return position_ >= tokens_.size(); }
    const Token& peek() const { return tokens_[position_]; }
    const Token& next() { return tokens_[position_++]; }
    bool expect(const char* symbol) { return !atEnd() && next().is(symbol); }
    bool isName(const Token& token) const { return token.quoted || !isSymbol(token.text[0]); }

    // Items up to the closing brace; values only where a key holds them.
    bool parseBlock(std::vector<Key>& keys, std::vector<NamedValue>* values)
    {
        while (!atEnd() && !peek().is("}")) {
            const bool ok = values && peek().isWord("val") ? parseValue(*values) : parseKey(keys);
            if (!ok)
                return false;
        }
        return expect("}");
    }

    bool parseValue(std::vector<NamedValue>& values)
    {
        next();
        NamedValue value;
        if (atEnd() || !isName(peek()))
            return false;
        value.name = next().text;
        if (!parseAssignment(value.data))
            return false;
        values.push_back(std::move(value));
        return true;
    }

    // "= s 'text'"
    bool parseAssignment(std::string& data)
    {
        if (!expect("=") || atEnd() || !next().isWord("s") || atEnd() || !isName(peek()))
            return false;
        data = next().text;
        return true;
    }

    bool parseKey(std::vector<Key>& keys)
    {
        Key key;
        if (peek().isWord("NoRemove")) {
            key.mark = Key::Mark::noRemove;
            next();
        } else if (peek().isWord("ForceRemove")) {
            key.mark = Key::Mark::forceRemove;
            next();
        }
        if (atEnd() || !isName(peek()))
            return false;
        key.name = next().text;
        if (!atEnd() && peek().is("=")) {
            key.hasDefault = true;
            if (!parseAssignment(key.defaultValue))
                return false;
        }
        if (!atEnd() && peek().is("{")) {
            next();
            if (!parseBlock(key.subkeys, &key.values))
                return false;
        }
        keys.push_back(std::move(key));
        return true;
    }

    std::vector<Token> tokens_;
    size_t position_ = 0;
};

} // namespace

HKEY rootKeyNamed(const std::string& name)
{
    static const struct {
        const char* shortName;
        const char* longName;
        HKEY handle;
    } roots[] = {
        {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    };
    for (const auto& root : roots) {
        if (_stricmp(name.c_str(), root.shortName) == 0 || _stricmp(name.c_str(), root.longName) == 0)
            return root.handle;
    }
    return nullptr;
}

bool parseScript(const std::string& text, std::vector<RootKey>& roots)
{
    std::vector<Token> tokens;
    if (!tokenize(text, tokens))
        return false;
    return Parser(std::move(tokens)).parse(roots);
}

} // namespace registrar
