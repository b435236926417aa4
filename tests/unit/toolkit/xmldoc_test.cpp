// The XML document component in both builds (libxml2 natively, MSXML under Wine).
#include "toolkit/xmldoc.h"

#include <gtest/gtest.h>

#include <string>

#include "test_files.h"

namespace {

using Q::TXMLDocument;
using Q::TXMLNode;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST(XmlDocument, StartsEmptyAndBuildsElementsWithText) {
  TXMLDocument doc(nullptr);
  EXPECT_TRUE(doc.DocumentElement().IsNull());
  TXMLNode root = doc.NewDocument(L"qAccountList");
  EXPECT_EQ(L"qAccountList", doc.DocumentElement().NodeName());
  TXMLNode account = root.AddChild(L"Account");
  account.AddChild(L"DisplayName", L"jim & <co>");
  account.AddChild(L"ObjectName").SetInteger(11);
  account.AddChild(L"System", L"");
  EXPECT_EQ(1, root.ChildCount());
  EXPECT_EQ(3, account.ChildCount());
  EXPECT_EQ(L"ObjectName", account.Child(1).NodeName());
  EXPECT_EQ(11, account.ChildNamed(L"ObjectName").AsInteger());
  EXPECT_EQ(L"jim & <co>", account.ChildNamed(L"DisplayName").Text());
  EXPECT_TRUE(account.ChildNamed(L"objectname").IsNull());  // names are case-sensitive
  EXPECT_TRUE(account.Child(7).IsNull());
  EXPECT_EQ(L"", account.ChildNamed(L"Missing").Text());
  root.ClearChildNodes();
  EXPECT_EQ(0, root.ChildCount());
  EXPECT_EQ(L"jim & <co>", account.ChildNamed(L"DisplayName").Text());  // handle stays valid
}

TEST(XmlDocument, SavesAndLoadsFiles) {
  testsupport::TempDir dir;
  const std::wstring path = Wide(dir.File("accounts.xml"));
  {
    TXMLDocument doc(nullptr);
    TXMLNode root = doc.NewDocument(L"qAccountList");
    TXMLNode a = root.AddChild(L"Account");
    a.AddChild(L"DisplayName", L"jim");
    a.AddChild(L"Name", L"J\x00FCrgen");
    a.AddChild(L"typeAccount").SetInteger(2);
    root.AddChild(L"Account").AddChild(L"DisplayName", L"second");
    doc.SaveToFile(path);
  }
  TXMLDocument doc(nullptr);
  doc.LoadFromFile(path);
  TXMLNode root = doc.DocumentElement();
  EXPECT_EQ(L"qAccountList", root.NodeName());
  ASSERT_EQ(2, root.ChildCount());
  EXPECT_EQ(L"J\x00FCrgen", root.Child(0).ChildNamed(L"Name").Text());
  EXPECT_EQ(2, root.Child(0).ChildNamed(L"typeAccount").AsInteger());
  EXPECT_EQ(L"second", root.Child(1).ChildNamed(L"DisplayName").Text());
}

TEST(XmlDocument, FailuresAreFrameworkErrors) {
  testsupport::TempDir dir;
  TXMLDocument doc(nullptr);
  EXPECT_THROW(doc.LoadFromFile(Wide(dir.File("absent.xml"))), Q::EXmlError);
  const std::string broken = dir.Write("broken.xml", "<qAccountList><Account></qAccountList>");
  EXPECT_THROW(doc.LoadFromFile(Wide(broken)), Q::EXmlError);
  // The fixed empty document after a failed load.
  doc.LoadFromXML(L"<?xml version=\"1.0\" ?><Empty/>");
  EXPECT_EQ(L"Empty", doc.DocumentElement().NodeName());
  EXPECT_EQ(0, doc.DocumentElement().ChildCount());

  TXMLNode root = doc.NewDocument(L"r");
  struct Case {
    const wchar_t* text;
    bool valid;
    int value;
  } cases[] = {{L"11", true, 11}, {L" 3 ", true, 3}, {L"-2", true, -2}, {L"", false, 0},
               {L"x1", false, 0}, {L"1x", false, 0}, {L"99999999999", false, 0}};
  for (const Case& c : cases) {
    TXMLNode n = root.AddChild(L"n", c.text);
    if (c.valid)
      EXPECT_EQ(c.value, n.AsInteger()) << c.text;
    else
      EXPECT_THROW(n.AsInteger(), Q::EXmlError) << c.text;
  }
}

}  // namespace
