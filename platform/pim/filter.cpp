// filter.cpp: parsing and evaluating restrictions (see filter.h).
//
// A small recursive-descent parser over UTF-16 text: expression = conjunction { OR
// conjunction }, conjunction = term { AND term }, term = "(" expression ")" | "[" name "]" op
// operand. Every error path returns false with a reason; nothing indexes past the text, and
// the nesting depth is bounded so that a hostile filter cannot exhaust the stack.
#include "pim/filter.h"

#include <climits>

#include "kernel/locale_data.h"
#include "kernel/strings.h"

namespace ce::pim {
namespace {

constexpr int kMaxDepth = 64;
constexpr size_t kMaxFilterChars = 8192;

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool isBoolean(const PropInfo* p) {
    if (p->type == PropType::IsRecurring) return true;
    if (p->type != PropType::Number) return false;
    return p->index == AllDayEvent || p->index == ReminderSet || p->index == Complete ||
           p->index == TeamTask;
}

class Parser {
public:
    Parser(std::u16string_view text, Kind kind, int order, std::string* error)
        : s_(text), kind_(kind), order_(order), error_(error) {}

    std::unique_ptr<FilterNode> parseAll() {
        auto node = expression(0);
        if (!node) return nullptr;
        skipSpace();
        if (pos_ != s_.size()) return fail("unexpected text after the restriction");
        return node;
    }

private:
    std::unique_ptr<FilterNode> fail(const std::string& why) {
        if (error_ && error_->empty()) *error_ = why + " at character " + std::to_string(pos_ + 1);
        return nullptr;
    }

    void skipSpace() {
        while (pos_ < s_.size() && isSpace(s_[pos_]))
            ++pos_;
    }

    // Matches a keyword (AND, OR) without regard to case, followed by a blank, '(' or '['.
    bool keyword(const char* word) {
        skipSpace();
        size_t n = 0;
        while (word[n])
            ++n;
        if (pos_ + n > s_.size()) return false;
        for (size_t i = 0; i < n; ++i) {
            char16_t c = s_[pos_ + i];
            if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
            if (c != static_cast<char16_t>(word[i])) return false;
        }
        if (pos_ + n < s_.size()) {
            char16_t next = s_[pos_ + n];
            if (!isSpace(next) && next != u'(' && next != u'[' && next != u'"') return false;
        }
        pos_ += n;
        return true;
    }

    std::unique_ptr<FilterNode> expression(int depth) {
        auto first = conjunction(depth);
        if (!first) return nullptr;
        if (!keywordAhead("OR")) return first;
        auto node = std::make_unique<FilterNode>();
        node->type = FilterNode::Type::Or;
        node->children.push_back(std::move(first));
        while (keyword("OR")) {
            auto next = conjunction(depth);
            if (!next) return nullptr;
            node->children.push_back(std::move(next));
        }
        return node;
    }

    bool keywordAhead(const char* word) {
        size_t save = pos_;
        bool found = keyword(word);
        pos_ = save;
        return found;
    }

    std::unique_ptr<FilterNode> conjunction(int depth) {
        auto first = term(depth);
        if (!first) return nullptr;
        if (!keywordAhead("AND")) return first;
        auto node = std::make_unique<FilterNode>();
        node->type = FilterNode::Type::And;
        node->children.push_back(std::move(first));
        while (keyword("AND")) {
            auto next = term(depth);
            if (!next) return nullptr;
            node->children.push_back(std::move(next));
        }
        return node;
    }

    std::unique_ptr<FilterNode> term(int depth) {
        skipSpace();
        if (pos_ >= s_.size()) return fail("a comparison is missing");
        if (s_[pos_] == u'(') {
            if (depth >= kMaxDepth) return fail("parentheses nest too deeply");
            ++pos_;
            auto inner = expression(depth + 1);
            if (!inner) return nullptr;
            skipSpace();
            if (pos_ >= s_.size() || s_[pos_] != u')') return fail("')' expected");
            ++pos_;
            return inner;
        }
        if (s_[pos_] != u'[') return fail("'[' expected");
        size_t close = s_.find(u']', pos_ + 1);
        if (close == std::u16string_view::npos) return fail("']' expected");
        std::u16string_view name = s_.substr(pos_ + 1, close - pos_ - 1);
        const PropInfo* prop = findProp(name, kind_);
        if (!prop) return fail("unknown property [" + toUtf8(name) + "]");
        pos_ = close + 1;
        auto node = std::make_unique<FilterNode>();
        node->prop = prop;
        if (!comparison(&node->op)) return fail("comparison operator expected");
        if (!operand(node.get())) return nullptr;
        return node;
    }

    bool comparison(Op* op) {
        skipSpace();
        auto at = [&](size_t i) -> char16_t { return pos_ + i < s_.size() ? s_[pos_ + i] : 0; };
        char16_t a = at(0), b = at(1);
        if (a == u'=') {
            *op = Op::Eq;
            pos_ += 1;
        } else if (a == u'<' && b == u'>') {
            *op = Op::Ne;
            pos_ += 2;
        } else if (a == u'<' && b == u'=') {
            *op = Op::Le;
            pos_ += 2;
        } else if (a == u'>' && b == u'=') {
            *op = Op::Ge;
            pos_ += 2;
        } else if (a == u'<') {
            *op = Op::Lt;
            pos_ += 1;
        } else if (a == u'>') {
            *op = Op::Gt;
            pos_ += 1;
        } else {
            return false;
        }
        return true;
    }

    // A quoted text: "..." with "" standing for one quotation mark.
    bool quoted(std::u16string* out) {
        ++pos_; // the opening quote
        out->clear();
        while (pos_ < s_.size()) {
            char16_t c = s_[pos_++];
            if (c == u'"') {
                if (pos_ < s_.size() && s_[pos_] == u'"') {
                    out->push_back(u'"');
                    ++pos_;
                    continue;
                }
                return true;
            }
            out->push_back(c);
        }
        fail("the closing quotation mark is missing");
        return false;
    }

    bool number(std::u16string_view text, int64_t* out) {
        size_t i = 0;
        bool negative = false;
        if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
        if (i >= text.size()) return false;
        int64_t v = 0;
        for (; i < text.size(); ++i) {
            if (!isDigit(text[i]) || v > (INT64_MAX - 9) / 10) return false;
            v = v * 10 + (text[i] - u'0');
        }
        *out = negative ? -v : v;
        return true;
    }

    bool operand(FilterNode* node) {
        skipSpace();
        if (pos_ >= s_.size()) {
            fail("a value is missing");
            return false;
        }
        std::u16string text;
        bool wasQuoted = s_[pos_] == u'"';
        if (wasQuoted) {
            if (!quoted(&text)) return false;
        } else {
            size_t start = pos_;
            while (pos_ < s_.size() && !isSpace(s_[pos_]) && s_[pos_] != u')')
                ++pos_;
            text.assign(s_.substr(start, pos_ - start));
        }
        switch (node->prop->type) {
        case PropType::Text:
            if (!wasQuoted) {
                fail("a text must be quoted");
                return false;
            }
            node->text = text;
            return true;
        case PropType::Date:
            if (!wasQuoted || !parseFilterDate(text, order_, &node->value)) {
                fail("not a date: \"" + toUtf8(text) + "\"");
                return false;
            }
            return true;
        default: {
            int64_t v;
            if (equalNoCase(text, u"true")) {
                v = 1;
            } else if (equalNoCase(text, u"false")) {
                v = 0;
            } else if (!number(text, &v)) {
                fail("not a number: " + toUtf8(text));
                return false;
            }
            if (isBoolean(node->prop)) v = v != 0;
            node->value = v;
            return true;
        }
        }
    }

    std::u16string_view s_;
    size_t pos_ = 0;
    Kind kind_;
    int order_;
    std::string* error_;
};

int compareText(std::u16string_view a, std::u16string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = foldCase(a[i]), y = foldCase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

bool holds(Op op, int c) {
    switch (op) {
    case Op::Eq: return c == 0;
    case Op::Ne: return c != 0;
    case Op::Lt: return c < 0;
    case Op::Le: return c <= 0;
    case Op::Gt: return c > 0;
    case Op::Ge: return c >= 0;
    }
    return false;
}

int compareNumbers(int64_t a, int64_t b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

bool evaluate(const FilterNode& n, const Item& item) {
    switch (n.type) {
    case FilterNode::Type::And:
        for (const auto& c : n.children)
            if (!evaluate(*c, item)) return false;
        return true;
    case FilterNode::Type::Or:
        for (const auto& c : n.children)
            if (evaluate(*c, item)) return true;
        return false;
    case FilterNode::Type::Compare: break;
    }
    const PropInfo& p = *n.prop;
    switch (p.type) {
    case PropType::Text: {
        const std::u16string& value = item.text[p.index];
        if (value.empty()) return false;
        if (p.index == Categories && (n.op == Op::Eq || n.op == Op::Ne)) {
            bool found = false;
            for (const auto& c : splitCategories(value))
                if (compareText(c, n.text) == 0) found = true;
            return n.op == Op::Eq ? found : !found;
        }
        return holds(n.op, compareText(value, n.text));
    }
    case PropType::Date: {
        int64_t value = item.date[p.index];
        if (value == kNoDate) return false;
        return holds(n.op, compareNumbers(value, n.value));
    }
    case PropType::Number: {
        int64_t v = item.number[p.index];
        if (isBoolean(&p)) v = v != 0;
        return holds(n.op, compareNumbers(v, n.value));
    }
    case PropType::Oid: return holds(n.op, compareNumbers(item.oid, n.value));
    case PropType::IsRecurring:
        return holds(n.op, compareNumbers(item.recurring() || item.occurrence ? 1 : 0, n.value));
    case PropType::Duration: return holds(n.op, compareNumbers(durationMinutes(item), n.value));
    }
    return false;
}

void bounds(const FilterNode& n, int64_t* lo, int64_t* hi) {
    if (n.type == FilterNode::Type::And) {
        for (const auto& c : n.children)
            bounds(*c, lo, hi);
        return;
    }
    if (n.type != FilterNode::Type::Compare || n.prop->type != PropType::Date ||
        n.prop->index != Start)
        return;
    switch (n.op) {
    case Op::Eq:
        *lo = std::max(*lo, n.value);
        *hi = std::min(*hi, n.value + 1);
        break;
    case Op::Gt: *lo = std::max(*lo, n.value + 1); break;
    case Op::Ge: *lo = std::max(*lo, n.value); break;
    case Op::Lt: *hi = std::min(*hi, n.value); break;
    case Op::Le: *hi = std::min(*hi, n.value + 1); break;
    case Op::Ne: break;
    }
}

// Reads 1..maxDigits digits.
bool digits(std::u16string_view s, size_t* pos, int maxDigits, int* out) {
    int v = 0, n = 0;
    while (*pos < s.size() && isDigit(s[*pos]) && n < maxDigits) {
        v = v * 10 + (s[*pos] - u'0');
        ++*pos;
        ++n;
    }
    *out = v;
    return n > 0;
}

bool dateSeparator(char16_t c) {
    return c == u'/' || c == u'-' || c == u'.';
}

} // namespace

bool Filter::parse(std::u16string_view text, Kind kind, int dateOrder, std::string* error) {
    root_.reset();
    std::string ignored;
    if (!error) error = &ignored;
    error->clear();
    if (text.size() > kMaxFilterChars) {
        *error = "the restriction is too long";
        return false;
    }
    Parser parser(text, kind, dateOrder, error);
    auto root = parser.parseAll();
    if (!root) {
        if (error->empty()) *error = "invalid restriction";
        return false;
    }
    root_ = std::move(root);
    return true;
}

bool Filter::matches(const Item& item) const {
    return !root_ || evaluate(*root_, item);
}

void Filter::startBounds(int64_t* lo, int64_t* hi) const {
    *lo = INT64_MIN;
    *hi = INT64_MAX;
    if (root_) bounds(*root_, lo, hi);
}

int userDateOrder() {
    std::u16string_view order = deviceLocale().dateOrder;
    if (!order.empty() && order[0] >= u'0' && order[0] <= u'2') return order[0] - u'0';
    return 0;
}

bool parseFilterDate(std::u16string_view text, int dateOrder, int64_t* local) {
    size_t pos = 0;
    while (pos < text.size() && isSpace(text[pos]))
        ++pos;
    int f[3];
    const int widths[3][3] = {{2, 2, 4}, {2, 2, 4}, {4, 2, 2}};
    if (dateOrder < 0 || dateOrder > 2) return false;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (pos >= text.size() || !dateSeparator(text[pos])) return false;
            ++pos;
        }
        if (!digits(text, &pos, widths[dateOrder][i], &f[i])) return false;
    }
    int year, month, day;
    switch (dateOrder) {
    case 0: month = f[0], day = f[1], year = f[2]; break;
    case 1: day = f[0], month = f[1], year = f[2]; break;
    default: year = f[0], month = f[1], day = f[2]; break;
    }
    int hour = 0, minute = 0, second = 0;
    while (pos < text.size() && isSpace(text[pos]))
        ++pos;
    if (pos < text.size()) {
        if (!digits(text, &pos, 2, &hour)) return false;
        if (pos >= text.size() || text[pos] != u':') return false;
        ++pos;
        if (!digits(text, &pos, 2, &minute)) return false;
        if (pos < text.size() && text[pos] == u':') {
            ++pos;
            if (!digits(text, &pos, 2, &second)) return false;
        }
        while (pos < text.size() && isSpace(text[pos]))
            ++pos;
        if (pos != text.size()) return false;
    }
    return makeLocal(year, month, day, hour, minute, second, local);
}

} // namespace ce::pim
