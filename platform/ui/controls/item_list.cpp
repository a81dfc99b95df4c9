#include "platform/ui/controls/item_list.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/ui/controls/control_support.h"

namespace ksv::platform::ui::controls {
namespace {

bool LessNoCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

std::string TextOf(LPARAM lParam) {
  const char* text = reinterpret_cast<const char*>(lParam);
  return text != nullptr ? std::string(text) : std::string();
}

int IndexOf(WPARAM wParam) { return static_cast<int>(static_cast<intptr_t>(wParam)); }

}  // namespace

bool ItemList::Select(int index) {
  if (index != -1 && !Has(index)) return false;
  selection_ = index;
  return true;
}

int ItemList::FindFrom(int from, const std::string& prefix) const {
  for (int step = 0; step < Count(); ++step) {
    const int index = (from + step) % Count();
    if (StartsNoCase(At(index).text, prefix)) return index;
  }
  return -1;
}

int ItemList::Add(const std::string& text) {
  if (!sorted_) return Insert(-1, text);
  const auto at = std::upper_bound(items_.begin(), items_.end(), text,
                                   [](const std::string& value, const Item& item) { return LessNoCase(value, item.text); });
  return Insert(static_cast<int>(at - items_.begin()), text);
}

int ItemList::Insert(int index, const std::string& text) {
  if (index == -1) index = Count();
  if (index < 0 || index > Count()) return -1;
  items_.insert(items_.begin() + index, Item{text, 0});
  if (selection_ >= index) ++selection_;
  return index;
}

int ItemList::Delete(int index) {
  if (!Has(index)) return -1;
  items_.erase(items_.begin() + index);
  if (selection_ == index) {
    selection_ = -1;
  } else if (selection_ > index) {
    --selection_;
  }
  return Count();
}

int ItemList::Find(int start, const std::string& text, bool exact) const {
  if (Count() == 0) return -1;
  const int first = Has(start) ? start + 1 : 0;
  for (int step = 0; step < Count(); ++step) {
    const int index = (first + step) % Count();
    const std::string& item = At(index).text;
    if (exact ? EqualNoCase(item, text) : StartsNoCase(item, text)) return index;
  }
  return -1;
}

LRESULT ItemList::Handle(Operation operation, WPARAM wParam, LPARAM lParam, bool clearOnBadIndex) {
  const int index = IndexOf(wParam);
  switch (operation) {
    case Operation::Add: return Add(TextOf(lParam));
    case Operation::Insert: return Insert(index, TextOf(lParam));
    case Operation::Delete: return Delete(index);
    case Operation::Reset: items_.clear(); selection_ = -1; return 0;
    case Operation::Count: return Count();
    case Operation::GetSelection: return selection_;
    case Operation::SetSelection:
      // -1 removes the selection and still answers -1, as documented.
      if (Select(index)) return index;
      if (clearOnBadIndex) selection_ = -1;
      return -1;
    case Operation::GetText: {
      if (!Has(index) || lParam == 0) return -1;
      const std::string& text = At(index).text;
      std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
      return static_cast<LRESULT>(text.size());
    }
    case Operation::GetTextLength: return Has(index) ? static_cast<LRESULT>(At(index).text.size()) : -1;
    case Operation::Find: return Find(index, TextOf(lParam), false);
    case Operation::FindExact: return Find(index, TextOf(lParam), true);
    case Operation::SelectString: {
      const int found = Find(index, TextOf(lParam), false);
      if (found >= 0) selection_ = found;
      return found;
    }
    case Operation::GetData: return Has(index) ? At(index).data : -1;
    case Operation::SetData:
      if (!Has(index)) return -1;
      items_[static_cast<size_t>(index)].data = lParam;
      return TRUE;
  }
  return -1;
}

std::optional<ItemList::Operation> ComboOperation(UINT message) {
  using Op = ItemList::Operation;
  switch (message) {
    case CB_ADDSTRING: return Op::Add;
    case CB_INSERTSTRING: return Op::Insert;
    case CB_DELETESTRING: return Op::Delete;
    case CB_RESETCONTENT: return Op::Reset;
    case CB_GETCOUNT: return Op::Count;
    case CB_GETCURSEL: return Op::GetSelection;
    case CB_SETCURSEL: return Op::SetSelection;
    case CB_GETLBTEXT: return Op::GetText;
    case CB_GETLBTEXTLEN: return Op::GetTextLength;
    case CB_FINDSTRING: return Op::Find;
    case CB_FINDSTRINGEXACT: return Op::FindExact;
    case CB_SELECTSTRING: return Op::SelectString;
    case CB_GETITEMDATA: return Op::GetData;
    case CB_SETITEMDATA: return Op::SetData;
    default: return std::nullopt;
  }
}

std::optional<ItemList::Operation> ListOperation(UINT message) {
  using Op = ItemList::Operation;
  switch (message) {
    case LB_ADDSTRING: return Op::Add;
    case LB_INSERTSTRING: return Op::Insert;
    case LB_DELETESTRING: return Op::Delete;
    case LB_RESETCONTENT: return Op::Reset;
    case LB_GETCOUNT: return Op::Count;
    case LB_GETCURSEL: return Op::GetSelection;
    case LB_SETCURSEL: return Op::SetSelection;
    case LB_GETTEXT: return Op::GetText;
    case LB_GETTEXTLEN: return Op::GetTextLength;
    case LB_FINDSTRING: return Op::Find;
    case LB_FINDSTRINGEXACT: return Op::FindExact;
    case LB_SELECTSTRING: return Op::SelectString;
    case LB_GETITEMDATA: return Op::GetData;
    case LB_SETITEMDATA: return Op::SetData;
    default: return std::nullopt;
  }
}

}  // namespace ksv::platform::ui::controls
