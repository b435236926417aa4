// The form dictionary ("lang.dic") and the base class of the program's windows, which
// translates the texts of a window's components once, at its creation.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "toolkit/comctrls.h"
#include "toolkit/controls.h"
#include "toolkit/dialogs.h"

namespace Q {

class TLanguage {
 public:
  static constexpr int kBufferChars = 2048;

  TLanguage();
  TLanguage(const TLanguage&) = delete;
  TLanguage& operator=(const TLanguage&) = delete;

  // Reads the dictionary file at `path` (8-bit) once; later calls read nothing. A missing
  // file gives an empty dictionary. Returns the loaded flag (1).
  unsigned char Load(const char* path);
  // The translation of `text`, or `text` itself when it has no entry. The result points
  // into the dictionary (valid for the whole run) or is the argument.
  const char* Lookup(const char* text);
  // Wide lookup: returns the shared result buffer, overwritten by the next LookupW. Throws
  // TError* "Error encoding to ANSI" / "Error encoding to UNICODE" when a conversion fails.
  const wchar_t* LookupW(const wchar_t* text);
  // Wide lookup into a string of the caller's own (no shared buffer).
  std::wstring Translate(const std::wstring& text) { return LookupW(text.c_str()); }

  unsigned char Loaded() const { return loaded_; }
  std::size_t Count() const { return entries_.size(); }
  // Empties the dictionary and clears the loaded flag (tests only).
  void ResetForTesting();
  // Records every 8-bit lookup key into `trace` (null: stop); tests read the order.
  void TraceLookupsForTesting(std::vector<std::string>* trace) { trace_ = trace; }

 private:
  std::map<std::string, std::string> entries_;
  char ansi_[kBufferChars];
  wchar_t wide_[kBufferChars];
  unsigned char loaded_;
  std::vector<std::string>* trace_ = nullptr;
};

// The program-wide form dictionary, shared by all windows.
TLanguage& ProgramLanguage();

// Base of the program's translated windows. A window's constructor builds its design and
// ends with FinishCreate(), which translates the components and then runs OnCreate, so
// texts that the creation handler sets are not translated a second time.
class TVCLQLangForm : public TForm {
 public:
  // Attaches the program-wide dictionary and loads "lang.dic" from the executable's
  // folder (only the first window of the run reads it).
  explicit TVCLQLangForm(TComponent* owner);
  const char* ClassName() const override { return "TVCLQLangForm"; }

  // The 8-bit translation of `text` (the empty text is looked up as the empty key).
  std::string TranslateText(const std::string& text);
  // Translates `form`'s caption and the texts of the components it owns.
  void TranslateComponents(TForm* form);

  // The form dictionary (not owned).
  TLanguage* Language;

 protected:
  // Translation of the designed texts, then the creation handler.
  void FinishCreate();

 private:
  // Translates one wide component text through TranslateText; a text without an entry
  // (or one the ANSI code page cannot carry) stays exactly as it is.
  std::wstring TranslateWide(const std::wstring& text);
  void TranslateList(TStrings& list);
};

}  // namespace Q
