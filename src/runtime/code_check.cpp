// The shape of script code: one walk over the text, counting what opens and closes outside quotes.
#include "runtime/code_check.h"

namespace mc {
namespace {

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string excerpt(std::string_view text) {
  text = trimBlanks(text);
  constexpr size_t kMax = 40;
  return text.size() <= kMax ? std::string(text) : std::string(text.substr(0, kMax)) + "...";
}

struct Pair {
  char open, close;
  int depth = 0;
  bool strayClose = false;
};

// A call statement ("A^B(...)", "@IF(...)") must end where its argument list closes; text after it
// is the next statement, run together for want of a ';'.
void checkStatement(std::string_view statement, std::vector<std::string>& out) {
  statement = trimBlanks(statement);
  size_t open = statement.find('(');
  if (open == std::string_view::npos) return;
  std::string_view head = statement.substr(0, open);
  if (head.find('^') == std::string_view::npos && !head.starts_with("@")) return;
  int depth = 0;
  bool quoted = false;
  for (size_t i = open; i < statement.size(); ++i) {
    char c = statement[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '(') ++depth;
    if (c == ')' && --depth == 0) {
      std::string_view rest = trimBlanks(statement.substr(i + 1));
      if (!rest.empty()) out.push_back("missing ';' before " + excerpt(rest) + " (the statements run together)");
      return;
    }
  }
}

}  // namespace

std::vector<std::string> codeProblems(std::string_view code) {
  std::vector<std::string> out;
  code = trimBlanks(code);
  if (code.empty()) return out;
  std::vector<std::string> joined;
  bool braceMissing = false;
  if (code.front() == '{') {
    if (code.back() != '}') {
      out.push_back("missing '}' at the end of the code");
      braceMissing = true;
      code.remove_prefix(1);
    } else {
      code = code.substr(1, code.size() - 2);
    }
  }
  Pair pairs[] = {{'(', ')'}, {'[', ']'}, {'{', '}'}};
  bool quoted = false;
  size_t statementStart = 0;
  for (size_t i = 0; i < code.size(); ++i) {
    char c = code[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    bool nested = false;
    for (Pair& p : pairs) {
      if (c == p.open) ++p.depth;
      if (c == p.close) {
        if (p.depth == 0) p.strayClose = true;
        else --p.depth;
      }
      nested = nested || p.depth > 0;
    }
    if (c == ';' && !nested) {
      checkStatement(code.substr(statementStart, i - statementStart), joined);
      statementStart = i + 1;
    }
  }
  // An open text hides the brackets after it, and unpaired brackets the statements' ends: only the
  // first kind of problem found is worth saying.
  if (quoted) {
    out.push_back("unbalanced '\"' (a text is not closed)");
    return out;
  }
  for (const Pair& p : pairs) {
    if (p.depth > 0) out.push_back(std::string("unbalanced '") + p.open + "' (" + std::to_string(p.depth) + " not closed)");
    if (p.strayClose) out.push_back(std::string("'") + p.close + "' without '" + p.open + "'");
  }
  if (out.size() > (braceMissing ? 1u : 0u)) return out;
  out.insert(out.end(), joined.begin(), joined.end());
  std::string_view rest = trimBlanks(code.substr(statementStart));
  if (!rest.empty()) out.push_back("the last statement has no ';' and never runs: " + excerpt(rest));
  return out;
}

void reportCodeProblems(std::string_view code, const tarnvik::log::Origin& where, std::string_view what) {
  if (!tarnvik::log::mistakesWanted()) return;
  for (const std::string& problem : codeProblems(code)) TLOG_WARN_AT(where, what << ": " << problem);
}

}  // namespace mc
