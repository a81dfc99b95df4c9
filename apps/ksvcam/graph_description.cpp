#include "apps/ksvcam/graph_description.h"

#include <cctype>
#include <map>

#include "apps/ksvcam/console.h"

namespace ksv::ksvcam {
namespace {

struct Word {
  std::string_view text;
  size_t at;  // offset in the description
};

std::vector<Word> SplitWords(std::string_view text) {
  std::vector<Word> words;
  size_t at = 0;
  while (at < text.size()) {
    if (std::isspace(static_cast<unsigned char>(text[at]))) {
      ++at;
      continue;
    }
    const size_t start = at;
    while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    words.push_back({text.substr(start, at - start), start});
  }
  return words;
}

[[noreturn]] void Fail(const std::string& what, size_t at) {
  throw UsageError("graph description: " + what + " at column " + std::to_string(at + 1));
}

// "key=..." with a key of letters, digits and underscores.
bool IsOption(std::string_view word) {
  const size_t equals = word.find('=');
  if (equals == 0 || equals == std::string_view::npos) return false;
  for (size_t i = 0; i < equals; ++i) {
    const unsigned char c = static_cast<unsigned char>(word[i]);
    if (!std::isalnum(c) && c != '_') return false;
  }
  return true;
}

bool IsReference(std::string_view word) {
  return word.size() > 1 && word.back() == '.' && word.find('=') == std::string_view::npos;
}

struct Parser {
  std::string_view text;
  GraphDescription result;
  std::map<std::string, size_t, std::less<>> named;
  std::optional<size_t> previous;  // the filter the next link starts from

  // One element's words (between separators).
  void Element(const std::vector<Word>& words, size_t at, bool last) {
    if (words.empty()) Fail("missing element", at);
    if (words.size() == 1 && IsReference(words[0].text)) {
      Reference(words[0], last);
      return;
    }
    GraphElement element;
    element.column = words[0].at + 1;
    size_t index = 0;
    while (index < words.size() && !IsOption(words[index].text)) ++index;
    if (index == 0) Fail("missing filter name before " + Quoted(words[0].text), words[0].at);
    const Word& first = words[0];
    const Word& lastName = words[index - 1];
    const std::string_view name =
        text.substr(first.at, lastName.at + lastName.text.size() - first.at);
    if (name.front() == '{') {
      element.clsid = com::ParseGuid(name);
      if (!element.clsid) Fail(Quoted(name) + " is not a class identifier", first.at);
    } else {
      element.friendlyName = std::string(name);
    }
    for (; index < words.size(); ++index) Option(element, words[index]);
    const size_t self = result.filters.size();
    if (!element.id.empty()) named.emplace(element.id, self);
    result.filters.push_back(std::move(element));
    if (previous) result.links.push_back({*previous, self});
    previous = self;
  }

  void Option(GraphElement& element, const Word& word) {
    if (!IsOption(word.text)) {
      Fail("unexpected " + Quoted(word.text) + " after the options (a filter's name comes first)",
           word.at);
    }
    const size_t equals = word.text.find('=');
    const std::string_view key = word.text.substr(0, equals);
    const std::string_view value = word.text.substr(equals + 1);
    if (value.empty()) Fail(std::string(key) + "= needs a value", word.at);
    if (key == "file") {
      element.file = std::string(value);
    } else if (key == "name") {
      if (named.contains(value)) Fail("a second filter named " + Quoted(value), word.at);
      element.id = std::string(value);
    } else {
      Fail("unknown option " + Quoted(key) + " (choose file= or name=)", word.at);
    }
  }

  void Reference(const Word& word, bool last) {
    const std::string_view id = word.text.substr(0, word.text.size() - 1);
    const auto found = named.find(id);
    if (found == named.end()) Fail("no filter named " + Quoted(id) + " before", word.at);
    if (last && previous) result.links.push_back({*previous, found->second});
    previous = found->second;
  }
};

}  // namespace

std::string GraphElement::Label() const {
  return friendlyName.empty() && clsid ? com::FormatGuid(*clsid) : friendlyName;
}

GraphDescription ParseGraphDescription(std::string_view text) {
  const std::vector<Word> words = SplitWords(text);
  if (words.empty()) throw UsageError("graph description: empty");
  Parser parser{text, {}, {}, std::nullopt};
  std::vector<Word> element;
  size_t elementAt = words.front().at;
  bool afterLink = false;  // a " ! " waits for the element after it
  // Ends the chain so far: the next element starts a new one.
  const auto endChain = [&](size_t nextAt) {
    if (!element.empty() || afterLink) parser.Element(element, elementAt, true);
    element.clear();
    afterLink = false;
    parser.previous.reset();
    elementAt = nextAt;
  };
  for (size_t i = 0; i < words.size(); ++i) {
    const size_t next = i + 1 < words.size() ? words[i + 1].at : text.size();
    const size_t gapFrom = i == 0 ? 0 : words[i - 1].at + words[i - 1].text.size();
    // A line that ends in " ! " goes on in the next one.
    const bool newLine =
        text.substr(gapFrom, words[i].at - gapFrom).find('\n') != std::string_view::npos;
    if (newLine && !(element.empty() && afterLink)) endChain(words[i].at);
    if (words[i].text == ";") {
      endChain(next);
    } else if (words[i].text == "!") {
      parser.Element(element, elementAt, false);
      element.clear();
      afterLink = true;
      elementAt = next;
    } else {
      element.push_back(words[i]);
    }
  }
  endChain(text.size());
  if (parser.result.filters.empty()) throw UsageError("graph description: empty");
  return std::move(parser.result);
}

}  // namespace ksv::ksvcam
