#include "text/VCLQLangClasses.h"

#include <cstring>
#include <vector>

#include "app/environment.h"
#include "app/error.h"
#include "platform/system.h"
#include "platform/textfile.h"

namespace Q {

TLanguage::TLanguage() : loaded_(0) {
  ansi_[0] = '\0';
  wide_[0] = L'\0';
}

unsigned char TLanguage::Load(const char* path) {
  if (loaded_) return loaded_;
  if (path != nullptr) {
    TextFileReader reader(path, /*ctrlZEndsText=*/true);
    if (reader.IsOpen()) {
      std::string line;
      // The line buffer holds 2048 characters with the terminating zero and the line
      // feed: 2046 content bytes at most. A longer line ends the reading.
      while (reader.ReadLine(line, kBufferChars - 2) == TextFileReader::Result::kLine) {
        // The line is a C string: an embedded zero byte ends it.
        const std::size_t nul = line.find('\0');
        if (nul != std::string::npos) line.resize(nul);
        const std::size_t separator = line.find("===");
        if (separator == std::string::npos) continue;
        entries_.emplace(line.substr(0, separator), line.substr(separator + 3));
      }
    }
  }
  loaded_ = 1;
  return loaded_;
}

const char* TLanguage::Lookup(const char* text) {
  if (text == nullptr) return text;
  if (trace_) trace_->push_back(text);
  auto it = entries_.find(std::string(text));
  return it == entries_.end() ? text : it->second.c_str();
}

const wchar_t* TLanguage::LookupW(const wchar_t* text) {
  if (text == nullptr || text[0] == L'\0') {
    ansi_[0] = '\0';
  } else if (Sys().WideCharToMultiByte(CP_ACP, 0, text, -1, ansi_, kBufferChars, nullptr,
                                       nullptr) == 0) {
    ansi_[0] = '\0';
    throw new TError(L"Error encoding to ANSI");
  }
  const char* result = Lookup(ansi_);
  if (result[0] == '\0') {
    wide_[0] = L'\0';
  } else if (Sys().MultiByteToWideChar(CP_ACP, 0, result, -1, wide_, kBufferChars) == 0) {
    wide_[0] = L'\0';
    throw new TError(L"Error encoding to UNICODE");
  }
  return wide_;
}

void TLanguage::ResetForTesting() {
  entries_.clear();
  loaded_ = 0;
  ansi_[0] = '\0';
  wide_[0] = L'\0';
}

TLanguage& ProgramLanguage() {
  static TLanguage language;
  return language;
}

// --- TVCLQLangForm --------------------------------------------------------------------

TVCLQLangForm::TVCLQLangForm(TComponent* owner) : TForm(owner), Language(&ProgramLanguage()) {
  Language->Load(ExecutableFolderFile("lang.dic").c_str());
}

void TVCLQLangForm::FinishCreate() {
  TranslateComponents(this);
  DoCreate();
}

std::string TVCLQLangForm::TranslateText(const std::string& text) {
  return Language->Lookup(text.c_str());
}

std::wstring TVCLQLangForm::TranslateWide(const std::wstring& text) {
  std::string ansi;
  if (!text.empty()) {
    const int length = static_cast<int>(text.size());
    BOOL lossy = FALSE;
    const int n = Sys().WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0,
                                            nullptr, &lossy);
    if (n <= 0 || lossy) return text;  // no key of the 8-bit dictionary can match it
    std::vector<char> buffer(static_cast<std::size_t>(n));
    if (Sys().WideCharToMultiByte(CP_ACP, 0, text.data(), length, buffer.data(), n, nullptr,
                                  nullptr) != n)
      return text;
    ansi.assign(buffer.data(), buffer.size());
    // Text with a zero character cannot be a key of the line-based file.
    if (ansi.find('\0') != std::string::npos) return text;
  }
  const char* result = Language->Lookup(ansi.c_str());
  if (result == ansi.c_str()) return text;  // no entry: stays as designed
  const std::string value = result;
  if (value.empty()) return std::wstring();
  const int n = Sys().MultiByteToWideChar(CP_ACP, 0, value.data(),
                                          static_cast<int>(value.size()), nullptr, 0);
  if (n <= 0) return text;
  std::vector<wchar_t> wide(static_cast<std::size_t>(n));
  if (Sys().MultiByteToWideChar(CP_ACP, 0, value.data(), static_cast<int>(value.size()),
                                wide.data(), n) != n)
    return text;
  return std::wstring(wide.data(), wide.size());
}

void TVCLQLangForm::TranslateList(TStrings& list) {
  for (int i = 0; i < list.Count(); ++i) list.Set(i, TranslateWide(list[i]));
}

void TVCLQLangForm::TranslateComponents(TForm* form) {
  auto tr = [this](const std::wstring& text) { return TranslateWide(text); };
  auto captionHint = [&](TControl* c) {
    c->SetCaption(tr(c->Caption()));
    c->SetHint(tr(c->Hint()));
  };
  form->SetCaption(tr(form->Caption()));
  for (int i = 0; i < form->ComponentCount(); ++i) {
    TComponent* c = form->Components(i);
    // The rows are tested in this order; the first class that matches decides.
    if (auto* item = dynamic_cast<TMenuItem*>(c)) {
      item->SetCaption(tr(item->Caption()));
      item->SetHint(tr(item->Hint()));
    } else if (auto* button = dynamic_cast<TButton*>(c)) {
      captionHint(button);
    } else if (auto* speed = dynamic_cast<TSpeedButton*>(c)) {
      captionHint(speed);
    } else if (auto* panel = dynamic_cast<TPanel*>(c)) {
      captionHint(panel);
    } else if (auto* group = dynamic_cast<TGroupBox*>(c)) {
      captionHint(group);
    } else if (auto* label = dynamic_cast<TLabel*>(c)) {
      captionHint(label);
    } else if (auto* staticText = dynamic_cast<TStaticText*>(c)) {
      captionHint(staticText);
    } else if (auto* labeled = dynamic_cast<TLabeledEdit*>(c)) {
      TBoundLabel* editLabel = labeled->EditLabel();
      editLabel->SetCaption(tr(editLabel->Caption()));
      editLabel->SetHint(tr(editLabel->Hint()));
      labeled->SetHint(tr(labeled->Hint()));
    } else if (auto* edit = dynamic_cast<TEdit*>(c)) {
      edit->SetHint(tr(edit->Hint()));
    } else if (auto* mask = dynamic_cast<TMaskEdit*>(c)) {
      mask->SetHint(tr(mask->Hint()));
    } else if (auto* radio = dynamic_cast<TRadioButton*>(c)) {
      radio->SetHint(tr(radio->Hint()));
      radio->SetCaption(tr(radio->Caption()));
    } else if (auto* memo = dynamic_cast<TMemo*>(c)) {
      memo->SetHint(tr(memo->Hint()));
      memo->SetMemoText(tr(memo->MemoText()));
    } else if (auto* radioGroup = dynamic_cast<TRadioGroup*>(c)) {
      captionHint(radioGroup);
      TranslateList(radioGroup->Items());
    } else if (auto* check = dynamic_cast<TCheckBox*>(c)) {
      captionHint(check);
    } else if (auto* sheet = dynamic_cast<TTabSheet*>(c)) {
      captionHint(sheet);
    } else if (auto* dialog = dynamic_cast<TOpenDialog*>(c)) {
      dialog->Title = tr(dialog->Title);
    } else if (auto* values = dynamic_cast<TValueListEditor*>(c)) {
      values->SetHint(tr(values->Hint()));
      TranslateList(values->TitleCaptions());
      for (int row = 0; row < values->Strings().Count(); ++row)
        values->SetKeys(row, tr(values->Keys(row)));
    } else if (auto* checkList = dynamic_cast<TCheckListBox*>(c)) {
      checkList->SetHint(tr(checkList->Hint()));
      TranslateList(checkList->Items());
    } else if (auto* tree = dynamic_cast<TTreeView*>(c)) {
      tree->SetHint(tr(tree->Hint()));
    } else if (auto* list = dynamic_cast<TListView*>(c)) {
      list->SetHint(tr(list->Hint()));
      for (int col = 0; col < list->ColumnCount(); ++col)
        list->Column(col)->Caption = tr(list->Column(col)->Caption);
      list->ColumnsChanged();
    } else if (auto* tabs = dynamic_cast<TTabControl*>(c)) {
      tabs->SetHint(tr(tabs->Hint()));
      TranslateList(tabs->Tabs());
    } else if (auto* status = dynamic_cast<TStatusBar*>(c)) {
      status->SetHint(tr(status->Hint()));
    } else if (auto* spin = dynamic_cast<TCSpinEdit*>(c)) {
      spin->SetHint(tr(spin->Hint()));
    } else if (auto* bar = dynamic_cast<TToolBar*>(c)) {
      captionHint(bar);
      for (int b = 0; b < bar->ButtonCount(); ++b) captionHint(bar->Buttons(b));
    } else if (auto* cool = dynamic_cast<TCoolBar*>(c)) {
      cool->SetHint(tr(cool->Hint()));
    } else if (auto* grid = dynamic_cast<TStringGrid*>(c)) {
      grid->SetHint(tr(grid->Hint()));
    }
  }
}

}  // namespace Q
