#include "text/VCLQLangClasses.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/error.h"
#include "sim/computer.h"
#include "test_files.h"

namespace {

using testsupport::TempDir;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class LanguageTest : public testing::Test {
 protected:
  void SetUp() override { Q::ProgramLanguage().ResetForTesting(); }
  void TearDown() override { Q::ProgramLanguage().ResetForTesting(); }

  Q::TLanguage& Load(const std::string& bytes) {
    const std::string path = dir_.Write("lang.dic", bytes);
    EXPECT_EQ(1, language_.Load(path.c_str()));
    return language_;
  }
  std::string Look(const char* text) { return language_.Lookup(text); }

  TempDir dir_;
  Q::TLanguage language_;
};

TEST_F(LanguageTest, LineGrammar) {
  Load("&File===&Datei\n"
       "Cancel===Abbrechen\n"
       "Cancel===Second\n"
       "x = = = y\n"
       "a===b===c\n"
       "# comment\n"
       "\n"
       " Pad\t=== spaced \n"
       "===Empty key\n");
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"&File", "&Datei"},      // the accelerator mark belongs to the key
      {"File", "File"},         // ... so File has no entry
      {"Cancel", "Abbrechen"},  // the first definition wins
      {"x ", "x "},             // separated equal signs define nothing
      {"a", "b===c"},           // the first === splits
      {"# comment", "# comment"},
      {" Pad\t", " spaced "},   // nothing is trimmed
      {"", "Empty key"},        // a line starting with === defines the empty text
      {"cancel", "cancel"},     // keys are case-sensitive
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, Look(c.text)) << c.text;
  EXPECT_EQ(5u, language_.Count());
}

TEST_F(LanguageTest, LookupWithoutEntryReturnsTheArgument) {
  Load("A===B\n");
  const char* text = "Unknown";
  EXPECT_EQ(text, language_.Lookup(text));
  EXPECT_EQ(nullptr, language_.Lookup(nullptr));
}

TEST_F(LanguageTest, CrLfLineEndsCarryNoCarriageReturn) {
  Load("Refresh===Aktualisieren\r\nStop===Anhalten\r\n");
  EXPECT_EQ("Aktualisieren", Look("Refresh"));
  EXPECT_EQ("Anhalten", Look("Stop"));
}

TEST_F(LanguageTest, LineLengthLimit) {
  // The 2048-byte line buffer holds the zero and the line feed: 2046 content bytes fit;
  // a longer line ends the reading, and the entries before it stay.
  struct Case {
    std::size_t contentBytes;
    bool fits;
  } cases[] = {{2045, true}, {2046, true}, {2047, false}, {2048, false}, {3000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.contentBytes);
    Q::TLanguage language;
    const std::string line = "K===" + std::string(c.contentBytes - 4, 'v');
    const std::string path = dir_.Write("lang.dic", "Before===1\n" + line + "\nAfter===2\n");
    language.Load(path.c_str());
    EXPECT_STREQ("1", language.Lookup("Before"));
    EXPECT_EQ(c.fits ? std::string(c.contentBytes - 4, 'v') : std::string("K"),
              std::string(language.Lookup("K")));
    EXPECT_EQ(c.fits ? std::string("2") : std::string("After"), std::string(language.Lookup("After")));
  }
}

TEST_F(LanguageTest, LastLineWithoutLineFeed) {
  Load("A===1\nB===2");
  EXPECT_EQ("2", Look("B"));
}

TEST_F(LanguageTest, CrLfDoesNotCountTowardsTheLineLimit) {
  const std::string fits = "K===" + std::string(2046 - 4, 'v');
  Load(fits + "\r\nAfter===2\r\n");
  EXPECT_EQ("2", Look("After"));
}

TEST_F(LanguageTest, BadInputLoadsWithoutHarm) {
  std::string bytes = "Nul";
  bytes.push_back('\0');
  bytes += "Key===Value\n";                     // a zero byte ends the line's text
  bytes += "\x81\x8d\x8f===\x90\x9d\n";        // bytes code page 1252 leaves undefined
  bytes += "===\n";                              // empty key and value
  bytes += std::string(3000, 'x') + "===y\n";  // over-long: ends the reading
  bytes += "Late===z\n";
  Load(bytes);
  EXPECT_EQ("Nul", Look("Nul"));
  EXPECT_EQ("\x90\x9d", Look("\x81\x8d\x8f"));
  EXPECT_EQ("", Look(""));
  EXPECT_EQ("Late", Look("Late"));
  // The wide lookup of an undefined-byte value does not fail either.
  const std::wstring undefinedKey = {wchar_t(0x81), wchar_t(0x8D), wchar_t(0x8F)};
  EXPECT_NO_THROW(language_.LookupW(undefinedKey.c_str()));
}

TEST_F(LanguageTest, MissingFileGivesEmptyDictionaryAndIsNeverReadAgain) {
  EXPECT_EQ(1, language_.Load(dir_.File("absent.dic").c_str()));
  const std::string path = dir_.Write("lang.dic", "A===B\n");
  language_.Load(path.c_str());
  EXPECT_EQ("A", Look("A"));
}

TEST_F(LanguageTest, LookupW) {
  Load("Stop===Anhalten\n===Leer\n");
  EXPECT_STREQ(L"Anhalten", language_.LookupW(L"Stop"));
  EXPECT_STREQ(L"Unknown text", language_.LookupW(L"Unknown text"));
  // The empty text (or null) gives the value of the empty key.
  EXPECT_STREQ(L"Leer", language_.LookupW(L""));
  EXPECT_STREQ(L"Leer", language_.LookupW(nullptr));
}

TEST_F(LanguageTest, LookupWOfEmptyTextWithoutEmptyKeyIsEmpty) {
  Load("Stop===Anhalten\n");
  EXPECT_STREQ(L"", language_.LookupW(L""));
}

TEST_F(LanguageTest, LookupWResultIsOneSharedBuffer) {
  Load("Text===Translated text\nCaption===Translated caption\n");
  const wchar_t* first = language_.LookupW(L"Text");
  const std::wstring copy = first;
  const wchar_t* second = language_.LookupW(L"Caption");
  EXPECT_EQ(first, second);                       // same buffer ...
  EXPECT_STREQ(L"Translated caption", first);     // ... so the first result is gone
  EXPECT_EQ(L"Translated text", copy);            // a copy keeps it
  EXPECT_EQ(L"Translated text", language_.Translate(L"Text"));
}

TEST_F(LanguageTest, CharactersOutsideTheCodePageComeBackReplaced) {
  Load("");
  EXPECT_STREQ(L"a?b", language_.LookupW(L"a\x4E2D" L"b"));
}

TEST_F(LanguageTest, TextThatDoesNotFitIsAnEncodingError) {
  Load("");
  const std::wstring huge(2048, L'x');  // 2048 characters + zero > 2048 bytes
  try {
    language_.LookupW(huge.c_str());
    FAIL() << "no error";
  } catch (Q::TError* error) {
    std::unique_ptr<Q::TError> owned(error);
    EXPECT_STREQ(L"!!: Error encoding to ANSI", error->Message);
    EXPECT_EQ(0, error->HasSystemText);
  }
  const std::wstring fits(2047, L'x');
  EXPECT_NO_THROW(language_.LookupW(fits.c_str()));
}

TEST_F(LanguageTest, FailedWideConversionIsAnEncodingError) {
  Load("Stop===Anhalten\n");
  sim::Active()->failures().Fail("MultiByteToWideChar", ERROR_INVALID_PARAMETER, 1);
  try {
    language_.LookupW(L"Stop");
    FAIL() << "no error";
  } catch (Q::TError* error) {
    std::unique_ptr<Q::TError> owned(error);
    EXPECT_STREQ(L"!!: Error encoding to UNICODE", error->Message);
  }
}

// --- Window creation and component translation ------------------------------------------

class LangForm : public Q::TVCLQLangForm {
 public:
  LangForm(const std::function<void(LangForm*)>& design) : Q::TVCLQLangForm(nullptr) {
    design(this);
    FinishCreate();
  }
};

class FormTranslationTest : public testing::Test {
 protected:
  void SetUp() override {
    Q::ProgramLanguage().ResetForTesting();
    const std::string exe = dir_.File("pelmora.exe");
    sim::Active()->system().SetModulePath(Wide(exe));
  }
  void TearDown() override {
    Q::ProgramLanguage().TraceLookupsForTesting(nullptr);
    Q::ProgramLanguage().ResetForTesting();
  }
  void WriteDictionary(const std::string& bytes) { dir_.Write("lang.dic", bytes); }

  TempDir dir_;
};

template <class T>
T* Make(Q::TForm* form, const wchar_t* name) {
  auto* c = new T(form);
  c->SetName(name);
  return c;
}

// One row per kind of the translation table: the component as designed, the texts read
// back after the translation, and the lookups made, in order.
struct Row {
  const char* kind;
  std::function<void(Q::TForm*)> build;
  std::function<std::vector<std::wstring>(Q::TForm*)> read;
  std::vector<std::string> lookups;
};

std::vector<Row> TableRows() {
  using namespace Q;
  auto ctl = [](TForm* f) { return static_cast<TControl*>(f->Components(0)); };
  auto captionHint = [ctl](TForm* f) {
    return std::vector<std::wstring>{ctl(f)->Caption(), ctl(f)->Hint()};
  };
  auto designCaptionHint = [](TControl* c) {
    c->SetCaption(L"C");
    c->SetHint(L"H");
  };
  std::vector<Row> rows;
  rows.push_back({"TMenuItem",
                  [](TForm* f) {
                    auto* m = Make<TMenuItem>(f, L"Item");
                    m->SetCaption(L"C");
                    m->SetHint(L"H");
                  },
                  [](TForm* f) {
                    auto* m = static_cast<TMenuItem*>(f->Components(0));
                    return std::vector<std::wstring>{m->Caption(), m->Hint()};
                  },
                  {"C", "H"}});
  rows.push_back({"TButton", [=](TForm* f) { designCaptionHint(Make<TButton>(f, L"B")); },
                  captionHint, {"C", "H"}});
  rows.push_back({"TBitBtn", [=](TForm* f) { designCaptionHint(Make<TBitBtn>(f, L"B")); },
                  captionHint, {"C", "H"}});
  rows.push_back({"TSpeedButton",
                  [=](TForm* f) { designCaptionHint(Make<TSpeedButton>(f, L"S")); }, captionHint,
                  {"C", "H"}});
  rows.push_back({"TPanel", [=](TForm* f) { designCaptionHint(Make<TPanel>(f, L"P")); },
                  captionHint, {"C", "H"}});
  rows.push_back({"TGroupBox", [=](TForm* f) { designCaptionHint(Make<TGroupBox>(f, L"G")); },
                  captionHint, {"C", "H"}});
  rows.push_back({"TLabel", [=](TForm* f) { designCaptionHint(Make<TLabel>(f, L"L")); },
                  captionHint, {"C", "H"}});
  rows.push_back({"TStaticText",
                  [=](TForm* f) { designCaptionHint(Make<TStaticText>(f, L"S")); }, captionHint,
                  {"C", "H"}});
  rows.push_back({"TLabeledEdit",
                  [](TForm* f) {
                    auto* e = Make<TLabeledEdit>(f, L"E");
                    e->EditLabel()->SetCaption(L"LC");
                    e->EditLabel()->SetHint(L"LH");
                    e->SetHint(L"H");
                    e->SetText(L"T");
                  },
                  [](TForm* f) {
                    auto* e = static_cast<TLabeledEdit*>(f->Components(0));
                    return std::vector<std::wstring>{e->EditLabel()->Caption(),
                                                     e->EditLabel()->Hint(), e->Hint(), e->Text()};
                  },
                  {"LC", "LH", "H"}});
  auto hintAndText = [ctl](TForm* f) {
    return std::vector<std::wstring>{ctl(f)->Hint(), ctl(f)->Text()};
  };
  rows.push_back({"TEdit",
                  [](TForm* f) {
                    auto* e = Make<TEdit>(f, L"E");
                    e->SetHint(L"H");
                    e->SetText(L"T");
                  },
                  hintAndText, {"H"}});
  rows.push_back({"TMaskEdit",
                  [](TForm* f) {
                    auto* e = Make<TMaskEdit>(f, L"E");
                    e->SetHint(L"H");
                    e->SetText(L"T");
                  },
                  hintAndText, {"H"}});
  rows.push_back({"TRadioButton",
                  [=](TForm* f) { designCaptionHint(Make<TRadioButton>(f, L"R")); },
                  [ctl](TForm* f) {
                    return std::vector<std::wstring>{ctl(f)->Hint(), ctl(f)->Caption()};
                  },
                  {"H", "C"}});
  rows.push_back({"TMemo",
                  [](TForm* f) {
                    auto* m = Make<TMemo>(f, L"M");
                    m->SetHint(L"H");
                    m->SetMemoText(L"T");
                  },
                  [](TForm* f) {
                    auto* m = static_cast<TMemo*>(f->Components(0));
                    return std::vector<std::wstring>{m->Hint(), m->MemoText()};
                  },
                  {"H", "T"}});
  rows.push_back({"TRadioGroup",
                  [=](TForm* f) {
                    auto* g = Make<TRadioGroup>(f, L"G");
                    designCaptionHint(g);
                    g->Items().Assign({L"I1", L"I2"});
                  },
                  [](TForm* f) {
                    auto* g = static_cast<TRadioGroup*>(f->Components(0));
                    return std::vector<std::wstring>{g->Caption(), g->Hint(), g->Items()[0],
                                                     g->Items()[1]};
                  },
                  {"C", "H", "I1", "I2"}});
  rows.push_back({"TCheckBox", [=](TForm* f) { designCaptionHint(Make<TCheckBox>(f, L"C")); },
                  captionHint, {"C", "H"}});
  rows.push_back({"TTabSheet", [=](TForm* f) { designCaptionHint(Make<TTabSheet>(f, L"T")); },
                  captionHint, {"C", "H"}});
  rows.push_back({"TOpenDialog",
                  [](TForm* f) {
                    auto* d = Make<TOpenDialog>(f, L"D");
                    d->Title = L"T";
                    d->Filter = L"F";
                  },
                  [](TForm* f) {
                    auto* d = static_cast<TOpenDialog*>(f->Components(0));
                    return std::vector<std::wstring>{d->Title, d->Filter};
                  },
                  {"T"}});
  rows.push_back({"TSaveDialog", [](TForm* f) { Make<TSaveDialog>(f, L"D")->Title = L"T"; },
                  [](TForm* f) {
                    return std::vector<std::wstring>{
                        static_cast<TSaveDialog*>(f->Components(0))->Title};
                  },
                  {"T"}});
  rows.push_back({"TValueListEditor",
                  [](TForm* f) {
                    auto* v = Make<TValueListEditor>(f, L"V");
                    v->SetHint(L"H");
                    v->TitleCaptions().Assign({L"K", L"V"});
                    v->Strings().Assign({L"R1=x", L"R2=y"});
                  },
                  [](TForm* f) {
                    auto* v = static_cast<TValueListEditor*>(f->Components(0));
                    return std::vector<std::wstring>{v->Hint(), v->TitleCaptions()[0],
                                                     v->TitleCaptions()[1], v->Strings()[0],
                                                     v->Strings()[1]};
                  },
                  {"H", "K", "V", "R1", "R2"}});
  rows.push_back({"TCheckListBox",
                  [](TForm* f) {
                    auto* c = Make<TCheckListBox>(f, L"C");
                    c->SetHint(L"H");
                    c->Items().Assign({L"I1", L"I2"});
                  },
                  [](TForm* f) {
                    auto* c = static_cast<TCheckListBox*>(f->Components(0));
                    return std::vector<std::wstring>{c->Hint(), c->Items()[0], c->Items()[1]};
                  },
                  {"H", "I1", "I2"}});
  rows.push_back({"TTreeView",
                  [](TForm* f) {
                    auto* t = Make<TTreeView>(f, L"T");
                    t->SetHint(L"H");
                    t->Items().AddChild(nullptr, L"N");
                  },
                  [](TForm* f) {
                    auto* t = static_cast<TTreeView*>(f->Components(0));
                    return std::vector<std::wstring>{t->Hint(), t->Items().GetFirstNode()->Text()};
                  },
                  {"H"}});
  rows.push_back({"TListView",
                  [](TForm* f) {
                    auto* l = Make<TListView>(f, L"L");
                    l->SetHint(L"H");
                    l->AddColumn(L"C1", 50);
                    l->AddColumn(L"C2", 50);
                    l->Add()->SetCaption(L"I");
                  },
                  [](TForm* f) {
                    auto* l = static_cast<TListView*>(f->Components(0));
                    return std::vector<std::wstring>{l->Hint(), l->Column(0)->Caption,
                                                     l->Column(1)->Caption, l->Item(0)->Caption()};
                  },
                  {"H", "C1", "C2"}});
  rows.push_back({"TTabControl",
                  [](TForm* f) {
                    auto* t = Make<TTabControl>(f, L"T");
                    t->SetHint(L"H");
                    t->Tabs().Assign({L"T1", L"T2"});
                  },
                  [](TForm* f) {
                    auto* t = static_cast<TTabControl*>(f->Components(0));
                    return std::vector<std::wstring>{t->Hint(), t->Tabs()[0], t->Tabs()[1]};
                  },
                  {"H", "T1", "T2"}});
  rows.push_back({"TStatusBar",
                  [](TForm* f) {
                    auto* s = Make<TStatusBar>(f, L"S");
                    s->SetHint(L"H");
                    s->AddPanel(50)->Text = L"P";
                    s->SetSimpleText(L"T");
                  },
                  [](TForm* f) {
                    auto* s = static_cast<TStatusBar*>(f->Components(0));
                    return std::vector<std::wstring>{s->Hint(), s->Panel(0)->Text, s->SimpleText()};
                  },
                  {"H"}});
  rows.push_back({"TCSpinEdit",
                  [](TForm* f) { Make<TCSpinEdit>(f, L"S")->SetHint(L"H"); },
                  [ctl](TForm* f) { return std::vector<std::wstring>{ctl(f)->Hint()}; },
                  {"H"}});
  rows.push_back({"TToolBar",
                  [=](TForm* f) {
                    auto* bar = Make<TToolBar>(f, L"T");
                    designCaptionHint(bar);
                    // The buttons are owned by a component of their own, as the toolkit
                    // reaches them only through their bar.
                    auto* holder = new TComponent(nullptr);
                    bar->Tag = reinterpret_cast<std::intptr_t>(holder);
                    auto* b1 = bar->AddButton(holder, L"B1", nullptr);
                    b1->SetCaption(L"B1C");
                    b1->SetHint(L"B1H");
                    auto* b2 = bar->AddButton(holder, L"B2", nullptr);
                    b2->SetCaption(L"B2C");
                    b2->SetHint(L"B2H");
                  },
                  [](TForm* f) {
                    auto* bar = static_cast<TToolBar*>(f->Components(0));
                    std::vector<std::wstring> out{bar->Caption(), bar->Hint(),
                                                  bar->Buttons(0)->Caption(), bar->Buttons(0)->Hint(),
                                                  bar->Buttons(1)->Caption(), bar->Buttons(1)->Hint()};
                    delete reinterpret_cast<TComponent*>(bar->Tag);
                    return out;
                  },
                  {"C", "H", "B1C", "B1H", "B2C", "B2H"}});
  rows.push_back({"TCoolBar", [](TForm* f) { Make<TCoolBar>(f, L"C")->SetHint(L"H"); },
                  [ctl](TForm* f) { return std::vector<std::wstring>{ctl(f)->Hint()}; },
                  {"H"}});
  rows.push_back({"TStringGrid", [](TForm* f) { Make<TStringGrid>(f, L"G")->SetHint(L"H"); },
                  [ctl](TForm* f) { return std::vector<std::wstring>{ctl(f)->Hint()}; },
                  {"H"}});
  return rows;
}

// The dictionary maps every designed text X to "X!" ; texts that must stay unchanged
// stay without the mark.
TEST_F(FormTranslationTest, EveryRowOfTheTableTranslatesItsTextsInOrder) {
  WriteDictionary(
      "Form===Form!\nC===C!\nH===H!\nLC===LC!\nLH===LH!\nT===T!\nF===F!\nI1===I1!\nI2===I2!\n"
      "K===K!\nV===V!\nR1===R1!\nR2===R2!\nC1===C1!\nC2===C2!\nT1===T1!\nT2===T2!\n"
      "B1C===B1C!\nB1H===B1H!\nB2C===B2C!\nB2H===B2H!\nN===N!\nI===I!\nP===P!\n");
  const std::map<std::string, std::vector<std::wstring>> expected = {
      {"TMenuItem", {L"C!", L"H!"}},
      {"TButton", {L"C!", L"H!"}},
      {"TBitBtn", {L"C!", L"H!"}},
      {"TSpeedButton", {L"C!", L"H!"}},
      {"TPanel", {L"C!", L"H!"}},
      {"TGroupBox", {L"C!", L"H!"}},
      {"TLabel", {L"C!", L"H!"}},
      {"TStaticText", {L"C!", L"H!"}},
      {"TLabeledEdit", {L"LC!", L"LH!", L"H!", L"T"}},   // the edit's text stays
      {"TEdit", {L"H!", L"T"}},
      {"TMaskEdit", {L"H!", L"T"}},
      {"TRadioButton", {L"H!", L"C!"}},
      {"TMemo", {L"H!", L"T!"}},
      {"TRadioGroup", {L"C!", L"H!", L"I1!", L"I2!"}},
      {"TCheckBox", {L"C!", L"H!"}},
      {"TTabSheet", {L"C!", L"H!"}},
      {"TOpenDialog", {L"T!", L"F"}},                     // the filter stays
      {"TSaveDialog", {L"T!"}},
      {"TValueListEditor", {L"H!", L"K!", L"V!", L"R1!=x", L"R2!=y"}},
      {"TCheckListBox", {L"H!", L"I1!", L"I2!"}},
      {"TTreeView", {L"H!", L"N"}},                       // nodes stay
      {"TListView", {L"H!", L"C1!", L"C2!", L"I"}},       // items stay
      {"TTabControl", {L"H!", L"T1!", L"T2!"}},
      {"TStatusBar", {L"H!", L"P", L"T"}},                // panels stay
      {"TCSpinEdit", {L"H!"}},
      {"TToolBar", {L"C!", L"H!", L"B1C!", L"B1H!", L"B2C!", L"B2H!"}},
      {"TCoolBar", {L"H!"}},
      {"TStringGrid", {L"H!"}},
  };
  for (const Row& row : TableRows()) {
    SCOPED_TRACE(row.kind);
    std::vector<std::string> trace;
    Q::ProgramLanguage().TraceLookupsForTesting(&trace);
    LangForm form([&](LangForm* f) {
      f->SetCaption(L"Form");
      row.build(f);
    });
    Q::ProgramLanguage().TraceLookupsForTesting(nullptr);
    EXPECT_EQ(L"Form!", form.Caption());
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ("Form", trace.front());
    trace.erase(trace.begin());
    EXPECT_EQ(row.lookups, trace);
    EXPECT_EQ(expected.at(row.kind), row.read(&form));
  }
}

TEST_F(FormTranslationTest, ComponentsAreTranslatedInTheFormsComponentOrder) {
  WriteDictionary("A===1\nB===2\n");
  std::vector<std::string> trace;
  Q::ProgramLanguage().TraceLookupsForTesting(&trace);
  LangForm form([](LangForm* f) {
    Make<Q::TLabel>(f, L"Second")->SetCaption(L"B");
    Make<Q::TButton>(f, L"First")->SetCaption(L"A");
  });
  Q::ProgramLanguage().TraceLookupsForTesting(nullptr);
  EXPECT_EQ((std::vector<std::string>{"", "B", "", "A", ""}), trace);
}

TEST_F(FormTranslationTest, OtherClassesAreLeftAlone) {
  WriteDictionary("X===translated\n");
  LangForm form([](LangForm* f) {
    auto* actions = Make<Q::TActionList>(f, L"Actions");
    actions->Add(L"ActionX", L"X");
    auto* combo = Make<Q::TComboBox>(f, L"Combo");
    combo->Items().Add(L"X");
    auto* pages = Make<Q::TPageControl>(f, L"Pages");
    pages->SetHint(L"X");
    auto* loose = Make<Q::TToolButton>(f, L"LooseButton");
    loose->SetCaption(L"X");
  });
  EXPECT_EQ(L"X", form.Find<Q::TAction>(L"ActionX")->Caption());
  EXPECT_EQ(L"X", form.Find<Q::TComboBox>(L"Combo")->Items()[0]);
  EXPECT_EQ(L"X", form.Find<Q::TPageControl>(L"Pages")->Hint());
  EXPECT_EQ(L"X", form.Find<Q::TToolButton>(L"LooseButton")->Caption());
}

TEST_F(FormTranslationTest, TwoLineMemoCannotBeTranslatedByLineEntries) {
  WriteDictionary("Line one===Zeile eins\nLine two===Zeile zwei\n");
  LangForm form([](LangForm* f) {
    auto* memo = Make<Q::TMemo>(f, L"Memo1");
    memo->Lines().Add(L"Line one");
    memo->Lines().Add(L"Line two");
  });
  auto* memo = form.Find<Q::TMemo>(L"Memo1");
  EXPECT_EQ(L"Line one\r\nLine two", memo->MemoText());
  EXPECT_EQ(2, memo->Lines().Count());
}

TEST_F(FormTranslationTest, WithoutDictionaryEveryTextStaysAsDesigned) {
  LangForm form([](LangForm* f) {
    f->SetCaption(L"Services");
    Make<Q::TButton>(f, L"B")->SetCaption(L"&Refresh");
  });
  EXPECT_EQ(L"Services", form.Caption());
  EXPECT_EQ(L"&Refresh", form.Find<Q::TButton>(L"B")->Caption());
  EXPECT_EQ(1, Q::ProgramLanguage().Loaded());
}

TEST_F(FormTranslationTest, TextOutsideTheCodePageStaysExactly) {
  WriteDictionary("?===question\n");
  LangForm form([](LangForm* f) { Make<Q::TLabel>(f, L"L")->SetCaption(L"\x4E2D"); });
  EXPECT_EQ(L"\x4E2D", form.Find<Q::TLabel>(L"L")->Caption());
}

TEST_F(FormTranslationTest, OnlyTheFirstWindowReadsTheFileAndOnCreateRunsAfterTranslation) {
  WriteDictionary("Title===Titel\n");
  std::wstring seenInOnCreate;
  LangForm first([&](LangForm* f) {
    f->SetCaption(L"Title");
    f->OnCreate = [&seenInOnCreate, f](Q::TComponent*) {
      seenInOnCreate = f->Caption();
      f->SetCaption(L"Title");  // set by the handler: not translated again
    };
  });
  EXPECT_EQ(L"Titel", seenInOnCreate);
  EXPECT_EQ(L"Title", first.Caption());
  WriteDictionary("Title===Changed\n");
  LangForm second([](LangForm* f) { f->SetCaption(L"Title"); });
  EXPECT_EQ(L"Titel", second.Caption());
  EXPECT_EQ(&Q::ProgramLanguage(), second.Language);
}

TEST_F(FormTranslationTest, TranslateTextLooksUpTheEmptyKeyToo) {
  WriteDictionary("===nothing\nOK===Gut\n");
  LangForm form([](LangForm*) {});
  EXPECT_EQ("Gut", form.TranslateText("OK"));
  EXPECT_EQ("nothing", form.TranslateText(""));
  EXPECT_EQ("Other", form.TranslateText("Other"));
}

}  // namespace

namespace {

// Menu items, buttons and tool buttons linked to an action are translated as components of
// their own; when the action later changes its state (the views enable and disable their
// actions all the time), only that state follows into them, not the action's designed text.
TEST_F(FormTranslationTest, TranslatedTextsOfActionLinkedComponentsSurviveStateChanges) {
  WriteDictionary("Stop===Anhalten\nStops the service===H\xE4lt den Dienst an\n");
  LangForm form([](LangForm* f) {
    auto* list = Make<Q::TActionList>(f, L"ActionList1");
    Q::TAction* stop = list->Add(L"ActionStop", L"Stop", 2);
    stop->SetHint(L"Stops the service");
    Make<Q::TMenuItem>(f, L"MenuStop")->SetAction(stop);
    Make<Q::TButton>(f, L"ButtonStop")->SetAction(stop);
    auto* bar = Make<Q::TToolBar>(f, L"ToolBar1");
    bar->AddButton(f, L"ToolButtonStop", stop);
  });
  auto* stop = form.Find<Q::TAction>(L"ActionStop");
  auto* item = form.Find<Q::TMenuItem>(L"MenuStop");
  auto* button = form.Find<Q::TButton>(L"ButtonStop");
  auto* tool = form.Find<Q::TToolButton>(L"ToolButtonStop");
  const std::wstring hint = L"H\xE4lt den Dienst an";
  ASSERT_EQ(L"Anhalten", item->Caption());
  ASSERT_EQ(L"Anhalten", button->Caption());
  ASSERT_EQ(L"Anhalten", tool->Caption());

  stop->SetEnabled(false);
  stop->SetChecked(true);
  stop->SetVisible(false);
  stop->SetVisible(true);
  stop->SetImageIndex(5);
  EXPECT_FALSE(item->Enabled());
  EXPECT_FALSE(button->Enabled());
  EXPECT_FALSE(tool->Enabled());
  EXPECT_TRUE(item->Checked());
  EXPECT_EQ(5, tool->ImageIndex());
  for (const std::wstring& caption : {item->Caption(), button->Caption(), tool->Caption()})
    EXPECT_EQ(L"Anhalten", caption);
  EXPECT_EQ(hint, item->Hint());
  EXPECT_EQ(hint, button->Hint());
  EXPECT_EQ(hint, tool->Hint());

  // A text the action itself is given at run time does reach its clients.
  stop->SetCaption(L"Halt");
  EXPECT_EQ(L"Halt", item->Caption());
  EXPECT_EQ(L"Halt", button->Caption());
  EXPECT_EQ(hint, button->Hint());
}

}  // namespace
