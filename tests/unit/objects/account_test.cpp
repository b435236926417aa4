#include "objects/account.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "objects_test_util.h"

namespace {

using testobjects::Net;
using testobjects::ThrownMessage;

std::vector<BYTE> Sid(const std::wstring& text) {
  std::vector<BYTE> sid = sim::SidFromText(text);
  EXPECT_FALSE(sid.empty()) << "bad test SID";
  return sid;
}

TEST(CAccountTest, NtAuthoritySystemResolvesFromItsName) {
  Q::CAccount account(L"NT AUTHORITY\\SYSTEM", nullptr);
  wchar_t* name = nullptr;
  EXPECT_EQ(0u, account.GetName(&name));
  EXPECT_STREQ(L"SYSTEM", name);
  EXPECT_EQ(0, Net().OutstandingBuffers());
  EXPECT_EQ(0u, sim::Active()->log().Count("LookupAccountNameW"));

  PSID sid = nullptr;
  ASSERT_EQ(0u, account.GetSid(&sid));
  EXPECT_EQ(L"S-1-5-18", sim::SidToString(sid));
  wchar_t* domain = nullptr;
  EXPECT_EQ(0u, account.GetDomain(&domain));
  EXPECT_STREQ(L"NT AUTHORITY", domain);
  wchar_t* full = nullptr;
  EXPECT_EQ(0u, account.GetFullName(&full));
  EXPECT_STREQ(L"NT AUTHORITY\\SYSTEM", full);
  ASSERT_NE(nullptr, account.Use());
  EXPECT_EQ(SidTypeWellKnownGroup, *account.Use());

  // The two-call pattern: sizes first, then the buffers; the name passed is the bare one.
  const auto calls = sim::Active()->log().Of("LookupAccountNameW");
  ASSERT_EQ(2u, calls.size());
  EXPECT_EQ(L"SYSTEM", calls[0].args[1]);
  EXPECT_EQ(L"0", calls[0].args[2]);
  EXPECT_NE(L"0", calls[1].args[2]);
  // Cached: asking again asks nobody.
  EXPECT_EQ(0u, account.GetFullName(&full));
  EXPECT_EQ(0u, account.GetSid(&sid));
  EXPECT_EQ(2u, sim::Active()->log().Count("LookupAccountNameW"));
}

TEST(CAccountTest, PrefixRuleChoosesTheLookupName) {
  struct Case {
    const wchar_t* given;
    const wchar_t* lookup;
  } cases[] = {
      {L"BUILTIN\\Administrators", L"Administrators"},
      {L"NT AUTHORITY\\NETWORK SERVICE", L"NETWORK SERVICE"},
      {L"MYDOM\\jim", L"MYDOM\\jim"},
      {L"jim", L"jim"},
      {L"builtin\\Users", L"builtin\\Users"},  // the prefixes are matched exactly
      {L"X\\NT AUTHORITY\\SYSTEM", L"NT AUTHORITY\\SYSTEM"},
  };
  for (const Case& c : cases) {
    Q::CAccount account(c.given, nullptr);
    wchar_t* name = nullptr;
    EXPECT_EQ(0u, account.GetName(&name));
    EXPECT_STREQ(c.lookup, name) << c.given;
  }
}

TEST(CAccountTest, DomainAccountKeepsItsBackslash) {
  Net().AddDomain(L"MYDOM", L"mydom.example.com", L"DC01");
  Net().AddUser(L"DC01", L"jim", L"Jim Beam");
  Net().Join(L"SIMHOST", L"MYDOM");
  Q::CAccount account(L"MYDOM\\jim", nullptr);
  wchar_t* full = nullptr;
  EXPECT_EQ(0u, account.GetFullName(&full));
  EXPECT_STREQ(L"MYDOM\\jim", full);
  wchar_t* domain = nullptr;
  EXPECT_EQ(0u, account.GetDomain(&domain));
  EXPECT_STREQ(L"MYDOM", domain);

  Q::CAccount unknown(L"MYDOM\\nobody", nullptr);
  full = nullptr;
  EXPECT_EQ(static_cast<DWORD>(ERROR_NONE_MAPPED), unknown.GetFullName(&full));
  EXPECT_EQ(nullptr, full);
}

TEST(CAccountTest, RecordFromSidKeepsItsSidWithoutAsking) {
  const std::vector<BYTE> bytes = Sid(L"S-1-5-32-544");
  Q::CAccount account(static_cast<PSID>(const_cast<BYTE*>(bytes.data())), nullptr);
  PSID sid = nullptr;
  EXPECT_EQ(0u, account.GetSid(&sid));
  ASSERT_NE(nullptr, sid);
  EXPECT_NE(static_cast<const void*>(bytes.data()), sid);  // a copy of its own
  EXPECT_EQ(0, std::memcmp(bytes.data(), sid, bytes.size()));
  EXPECT_EQ(0u, sim::Active()->log().Count("LookupAccountSidW"));
  EXPECT_EQ(0u, sim::Active()->log().Count("LookupAccountNameW"));

  wchar_t* full = nullptr;
  EXPECT_EQ(0u, account.GetFullName(&full));
  EXPECT_STREQ(L"BUILTIN\\Administrators", full);
  EXPECT_EQ(SidTypeAlias, *account.Use());
}

TEST(CAccountTest, LookupFailuresReportTheirCodeAndChangeNothing) {
  // Unreachable server, unknown name, refused lookup.
  {
    Net().SetAnswers(L"GONE", false);
    Q::CAccount account(L"jim", L"\\\\GONE");
    PSID sid = nullptr;
    EXPECT_EQ(static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE), account.GetSid(&sid));
    EXPECT_EQ(nullptr, sid);
  }
  {
    Q::CAccount account(L"nobody", nullptr);
    wchar_t* domain = nullptr;
    EXPECT_EQ(static_cast<DWORD>(ERROR_NONE_MAPPED), account.GetDomain(&domain));
    EXPECT_EQ(nullptr, domain);
  }
  {
    const std::vector<BYTE> bytes = Sid(L"S-1-5-18");
    Q::CAccount account(static_cast<PSID>(const_cast<BYTE*>(bytes.data())), nullptr);
    sim::Active()->failures().Fail("LookupAccountSidW", ERROR_ACCESS_DENIED, 1);
    wchar_t* name = nullptr;
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), account.GetName(&name));
    EXPECT_EQ(nullptr, name);
    // The next attempt asks again and succeeds.
    EXPECT_EQ(0u, account.GetName(&name));
    EXPECT_STREQ(L"SYSTEM", name);
  }
}

TEST(CAccountTest, FailedSecondCallLeavesTheFieldsUnset) {
  Q::CAccount byName(L"Administrator", nullptr);
  sim::Active()->failures().Fail("LookupAccountNameW/filled", ERROR_ACCESS_DENIED, 1);
  PSID sid = nullptr;
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), byName.GetSid(&sid));
  EXPECT_EQ(nullptr, sid);
  wchar_t* domain = nullptr;
  EXPECT_EQ(0u, byName.GetDomain(&domain));  // asks again, now with success
  EXPECT_STREQ(L"SIMHOST", domain);
  EXPECT_EQ(4u, sim::Active()->log().Count("LookupAccountNameW"));

  const std::vector<BYTE> bytes = Sid(L"S-1-5-32-545");
  Q::CAccount bySid(static_cast<PSID>(const_cast<BYTE*>(bytes.data())), nullptr);
  sim::Active()->failures().Fail("LookupAccountSidW/filled", ERROR_NONE_MAPPED, 1);
  wchar_t* full = nullptr;
  EXPECT_EQ(static_cast<DWORD>(ERROR_NONE_MAPPED), bySid.GetFullName(&full));
  EXPECT_EQ(nullptr, full);
  wchar_t* name = nullptr;
  EXPECT_EQ(0u, bySid.GetName(&name));
  EXPECT_STREQ(L"Users", name);
}

TEST(CAccountTest, NamesComeFromTheAskedComputer) {
  Net().SetSidName(L"DE01", L"S-1-5-18", sim::SidName{L"NT-AUTORIT\u00c4T", L"SYSTEM",
                                                      SidTypeWellKnownGroup});
  const std::vector<BYTE> bytes = Sid(L"S-1-5-18");
  Q::CAccount account(static_cast<PSID>(const_cast<BYTE*>(bytes.data())), L"\\\\DE01");
  wchar_t* full = nullptr;
  EXPECT_EQ(0u, account.GetFullName(&full));
  EXPECT_STREQ(L"NT-AUTORIT\u00c4T\\SYSTEM", full);
  EXPECT_EQ(L"\\\\DE01", sim::Active()->log().Of("LookupAccountSidW")[0].args[0]);
}

TEST(CAccountTest, BadInputIsRefusedWithoutHarm) {
  // A 300-character name: no such account.
  const std::wstring longName(300, L'a');
  Q::CAccount account(longName.c_str(), nullptr);
  wchar_t* full = nullptr;
  EXPECT_EQ(static_cast<DWORD>(ERROR_NONE_MAPPED), account.GetFullName(&full));
  wchar_t* name = nullptr;
  EXPECT_EQ(0u, account.GetName(&name));
  EXPECT_EQ(longName, name);

  // Malformed SIDs (revision 2; 16 sub-authorities) and no SID at all.
  std::vector<BYTE> revision2 = Sid(L"S-1-5-18");
  revision2[0] = 2;
  std::vector<BYTE> sixteen(8 + 4 * 16, 0);
  sixteen[0] = 1;
  sixteen[1] = 16;
  for (PSID bad : {static_cast<PSID>(revision2.data()), static_cast<PSID>(sixteen.data()),
                   static_cast<PSID>(nullptr)}) {
    Q::CAccount record(bad, nullptr);
    wchar_t* text = reinterpret_cast<wchar_t*>(0x1);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_SID), Q::SidToText(&record, &text));
    EXPECT_EQ(reinterpret_cast<wchar_t*>(0x1), text);
    wchar_t* n = nullptr;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_SID), record.GetName(&n));
    EXPECT_NE(0u, record.GetFullName(&n));
  }
  EXPECT_EQ(0u, sim::Active()->log().Count("LookupAccountSidW"));
}

TEST(SidToTextTest, WritesEveryAuthorityAndSubAuthority) {
  struct Case {
    std::vector<BYTE> sid;
    const wchar_t* text;
  } cases[] = {
      {Sid(L"S-1-5-18"), L"S-1-5-18"},
      {Sid(L"S-1-5-21-4294967295-1-2"), L"S-1-5-21-4294967295-1-2"},
      {Sid(L"S-1-5"), L"S-1-5"},
      // An authority of 2^32 - 1 still fits the decimal form.
      {{1, 1, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0}, L"S-1-4294967295-7"},
      // 48-bit authorities are written as twelve hexadecimal digits.
      {{1, 1, 0x01, 0x02, 0x03, 0x04, 0x05, 0xAB, 7, 0, 0, 0}, L"S-1-0x0102030405ab-7"},
      {{1, 0, 0x00, 0x10, 0, 0, 0, 0}, L"S-1-0x001000000000"},
      {Sid(L"S-1-5-21-1-2-3-4-5-6-7-8-9-10-11-12-13-4294967295"),
       L"S-1-5-21-1-2-3-4-5-6-7-8-9-10-11-12-13-4294967295"},
  };
  for (Case& c : cases) {
    Q::CAccount account(static_cast<PSID>(c.sid.data()), nullptr);
    wchar_t* text = nullptr;
    ASSERT_EQ(0u, Q::SidToText(&account, &text)) << c.text;
    EXPECT_STREQ(c.text, text);
    delete[] text;
  }
}

TEST(SidToTextTest, NameRecordResolvesItsSidFirst) {
  Q::CAccount account(L"Everyone", nullptr);
  wchar_t* text = nullptr;
  ASSERT_EQ(0u, Q::SidToText(&account, &text));
  EXPECT_STREQ(L"S-1-1-0", text);
  delete[] text;

  Q::CAccount unknown(L"nobody", nullptr);
  text = nullptr;
  EXPECT_EQ(static_cast<DWORD>(ERROR_NONE_MAPPED), Q::SidToText(&unknown, &text));
  EXPECT_EQ(nullptr, text);
}

TEST(WinNTPathTest, ParsesDomainAndObject) {
  struct Case {
    const wchar_t* path;
    const wchar_t* domain;
    const wchar_t* object;
  } cases[] = {
      {L"WinNT://MYDOM/jim,user", L"MYDOM", L"jim"},
      {L"WinNT://MYDOM", L"MYDOM", nullptr},
      {L"MYDOM/PC01/Administrator,user", L"MYDOM", L"PC01/Administrator"},
      {L"WinNT://S-1-5-21-1-2-3-500", nullptr, L"S-1-5-21-1-2-3-500"},
      {L"WinNT://s-1-5-21-9/ignored", nullptr, L"s-1-5-21-9"},
      {L"", L"", nullptr},
  };
  for (const Case& c : cases) {
    wchar_t* domain = reinterpret_cast<wchar_t*>(0x1);
    wchar_t* object = reinterpret_cast<wchar_t*>(0x1);
    Q::ParseWinNTPath(c.path, &domain, &object, false);
    EXPECT_EQ(std::wstring(c.domain ? c.domain : L"(null)"), testobjects::Owned(domain)) << c.path;
    EXPECT_EQ(std::wstring(c.object ? c.object : L"(null)"), testobjects::Owned(object)) << c.path;
  }
  wchar_t* domain = reinterpret_cast<wchar_t*>(0x1);
  wchar_t* object = reinterpret_cast<wchar_t*>(0x1);
  Q::ParseWinNTPath(nullptr, &domain, &object, true);
  EXPECT_EQ(nullptr, domain);
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(0u, sim::Active()->log().Count("DsGetDcNameW"));

  // A path longer than the working buffer is cut, not overrun.
  const std::wstring longPath = L"WinNT://" + std::wstring(400, L'D') + L"/x";
  Q::ParseWinNTPath(longPath.c_str(), &domain, &object, false);
  EXPECT_EQ(251u, testobjects::Owned(domain).size());
  EXPECT_EQ(L"(null)", testobjects::Owned(object));
}

TEST(WinNTPathTest, ResolveAsksForTheFlatDomainName) {
  Net().AddDomain(L"CORP", L"corp.example.com", L"DC01");
  Net().Join(L"SIMHOST", L"CORP");
  wchar_t* domain = nullptr;
  wchar_t* object = nullptr;
  Q::ParseWinNTPath(L"WinNT://corp.example.com/jim,user", &domain, &object, true);
  EXPECT_EQ(L"CORP", testobjects::Owned(domain));
  EXPECT_EQ(L"jim", testobjects::Owned(object));
  const auto calls = sim::Active()->log().Of("DsGetDcNameW");
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(L"0x80000010", calls[0].args[3]);

  // Unknown domain: unchanged. Null domain: the computer's own domain.
  Q::ParseWinNTPath(L"WinNT://ELSEWHERE/x", &domain, &object, true);
  EXPECT_EQ(L"ELSEWHERE", testobjects::Owned(domain));
  testobjects::Owned(object);
  Q::ParseWinNTPath(L"WinNT://S-1-5-21-1-2-3-500", &domain, &object, true);
  EXPECT_EQ(L"CORP", testobjects::Owned(domain));
  EXPECT_EQ(L"S-1-5-21-1-2-3-500", testobjects::Owned(object));
  EXPECT_EQ(0, Net().OutstandingBuffers());
}

TEST(WinNTPathTest, BuildsPaths) {
  struct Case {
    const wchar_t* domain;
    const wchar_t* name;
    const wchar_t* cls;
    const wchar_t* path;
  } cases[] = {
      {L"MYDOM", L"jim", L"user", L"WinNT://MYDOM/jim,user"},
      {nullptr, L"MYCOMP", nullptr, L"WinNT://MYCOMP"},
      {L"MYDOM", nullptr, L"domain", L"WinNT://MYDOM,domain"},
      {nullptr, nullptr, nullptr, L"WinNT://"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.path, testobjects::Owned(Q::BuildWinNTPath(c.domain, c.name, c.cls)));
  const std::wstring longName(300, L'n');
  EXPECT_EQ(L"WinNT://D/" + longName, testobjects::Owned(Q::BuildWinNTPath(L"D", longName.c_str(), nullptr)));
}

TEST(FindDomainControllerTest, AsksTheLocatorOrThePrimary) {
  Net().AddDomain(L"CORP", L"corp.example.com", L"DC01");
  Net().Join(L"SIMHOST", L"CORP");
  EXPECT_EQ(L"\\\\DC01", testobjects::Owned(Q::FindDomainController(L"CORP", true)));
  EXPECT_EQ(L"\\\\DC01", testobjects::Owned(Q::FindDomainController(nullptr, true)));
  EXPECT_EQ(L"\\\\dc01.corp.example.com", testobjects::Owned(Q::FindDomainController(L"CORP", false)));
  EXPECT_EQ(L"0x40000010", sim::Active()->log().Of("DsGetDcNameW")[0].args[3]);
  EXPECT_EQ(0, Net().OutstandingBuffers());

  EXPECT_EQ(L"!!: Failed to detect DC!",
            ThrownMessage([] { delete[] Q::FindDomainController(L"NOWHERE", true); }));
  EXPECT_EQ(L"!!: Failed to detect DC!",
            ThrownMessage([] { delete[] Q::FindDomainController(L"NOWHERE", false); }));
}

TEST(FindDomainControllerTest, SystemAuthoritiesFailWithoutAsking) {
  for (const wchar_t* domain : {L"BUILTIN", L"NT AUTHORITY"}) {
    EXPECT_EQ(L"!!: Failed to detect DC!",
              ThrownMessage([domain] { delete[] Q::FindDomainController(domain, true); }));
  }
  EXPECT_EQ(0u, sim::Active()->log().Count("NetGetDCName"));
  EXPECT_EQ(0u, sim::Active()->log().Count("DsGetDcNameW"));
}

TEST(FindDomainControllerTest, WorkgroupComputerHasNone) {
  EXPECT_EQ(L"!!: Failed to detect DC!",
            ThrownMessage([] { delete[] Q::FindDomainController(nullptr, true); }));
}

TEST(FindCommonNameTest, TakesTheFirstVariantInOrder) {
  struct Case {
    const wchar_t* dn;
    const wchar_t* result;
  } cases[] = {
      {L"CN=Jim,OU=Sales,DC=corp", L"CN=Jim,OU=Sales,DC=corp"},
      {L"OU=x,cn=Jim,DC=corp", L"cn=Jim,DC=corp"},
      // "cn=" stands earlier, but "CN=" is tried first.
      {L"cn=a,CN=b", L"CN=b"},
      {L"Cn=a,cN=b", L"Cn=a,cN=b"},
      {L"cN=only", L"cN=only"},
      {L"OU=Sales,DC=corp", nullptr},
  };
  for (const Case& c : cases)
    EXPECT_EQ(std::wstring(c.result ? c.result : L"(null)"),
              testobjects::Owned(Q::FindCommonName(c.dn)));
  EXPECT_EQ(nullptr, Q::FindCommonName(nullptr));
}

}  // namespace
