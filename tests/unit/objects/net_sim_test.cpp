// The simulated network and account services: SIDs on the platform's byte layout, the
// buffer discipline, and the answers the object model relies on.
#include "sim/net.h"

#include <gtest/gtest.h>

#include <cstring>

#include "objects/platform/net.h"
#include "objects_test_util.h"

namespace {

using testobjects::Net;

TEST(SimNetSidTest, BuildsSidsFromAuthorityAndSubAuthorities) {
  Q::INetServices& net = Q::Net();
  EXPECT_EQ(8u, net.GetSidLengthRequired(0));
  EXPECT_EQ(8u + 4 * 15, net.GetSidLengthRequired(15));
  BYTE sid[SECURITY_MAX_SID_SIZE] = {};
  SID_IDENTIFIER_AUTHORITY nt = {{0, 0, 0, 0, 0, 5}};
  ASSERT_TRUE(net.InitializeSid(sid, &nt, 2));
  *net.GetSidSubAuthority(sid, 0) = 32;
  *net.GetSidSubAuthority(sid, 1) = 544;
  EXPECT_EQ(sim::SidFromText(L"S-1-5-32-544"), std::vector<BYTE>(sid, sid + net.GetLengthSid(sid)));
  EXPECT_EQ(2, *net.GetSidSubAuthorityCount(sid));
  EXPECT_EQ(5, net.GetSidIdentifierAuthority(sid)->Value[5]);
  // The layout itself: revision, count, big-endian authority, little-endian sub-authorities.
  const BYTE expected[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};
  EXPECT_EQ(0, std::memcmp(expected, sid, sizeof(expected)));

  EXPECT_FALSE(net.InitializeSid(sid, &nt, 16));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), Q::Sys().GetLastError());

  BYTE small[8];
  EXPECT_FALSE(net.CopySid(sizeof(small), small, sid));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), Q::Sys().GetLastError());
  BYTE copy[SECURITY_MAX_SID_SIZE];
  EXPECT_TRUE(net.CopySid(sizeof(copy), copy, sid));
  EXPECT_TRUE(net.IsValidSid(copy));
  sid[0] = 2;
  EXPECT_FALSE(net.IsValidSid(sid));
  EXPECT_FALSE(net.CopySid(sizeof(copy), copy, sid));
}

TEST(SimNetSidTest, TextFormRoundTrips) {
  for (const wchar_t* text : {L"S-1-5-18", L"S-1-0-0", L"S-1-5-21-4294967295-2-3-500",
                              L"S-1-281474976710655-1"}) {
    const std::vector<BYTE> sid = sim::SidFromText(text);
    ASSERT_FALSE(sid.empty()) << text;
    EXPECT_EQ(text, sim::SidToString(sid.data()));
  }
  for (const wchar_t* bad : {L"", L"S-1", L"S-1-5-", L"X-1-5", L"S-1-5-x", L"S-1-281474976710656"})
    EXPECT_TRUE(sim::SidFromText(bad).empty()) << bad;
}

TEST(SimNetBufferTest, BuffersAreTrackedUntilFreed) {
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0;
  ASSERT_EQ(0u, Q::Net().NetUserEnum(nullptr, 0, 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total, nullptr));
  EXPECT_EQ(2u, read);
  EXPECT_EQ(1, Net().OutstandingBuffers());
  EXPECT_EQ(0u, Q::Net().NetApiBufferFree(buffer));
  EXPECT_EQ(0, Net().OutstandingBuffers());
  EXPECT_NE(0u, Q::Net().NetApiBufferFree(buffer));  // freed twice
  int local = 0;
  EXPECT_NE(0u, Q::Net().NetApiBufferFree(&local));  // never handed out
  EXPECT_EQ(2, Net().BadFrees());
  EXPECT_EQ(0u, Q::Net().NetApiBufferFree(nullptr));
}

TEST(SimNetBufferTest, SmallPreferredLengthResumes) {
  for (int i = 0; i < 10; ++i) Net().AddUser(L"SIMHOST", L"user" + std::to_wstring(i));
  DWORD resume = 0;
  std::vector<std::wstring> names;
  NET_API_STATUS status;
  do {
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0;
    status = Q::Net().NetUserEnum(nullptr, 0, FILTER_NORMAL_ACCOUNT, &buffer, 200, &read, &total, &resume);
    ASSERT_TRUE(status == NERR_Success || status == ERROR_MORE_DATA);
    EXPECT_EQ(12u, total);
    for (DWORD i = 0; i < read; ++i) names.push_back(reinterpret_cast<USER_INFO_0*>(buffer)[i].usri0_name);
    Q::Net().NetApiBufferFree(buffer);
  } while (status == ERROR_MORE_DATA);
  EXPECT_EQ(12u, names.size());
  EXPECT_EQ(L"user9", names.back());
}

TEST(SimNetDomainTest, RoleTrustsAndMachineAccounts) {
  Q::INetServices& net = Q::Net();
  PBYTE role = nullptr;
  ASSERT_EQ(0u, net.DsRoleGetPrimaryDomainInformation(nullptr, DsRolePrimaryDomainInfoBasic, &role));
  EXPECT_STREQ(L"WORKGROUP", reinterpret_cast<DSROLE_PRIMARY_DOMAIN_INFO_BASIC*>(role)->DomainNameFlat);
  net.DsRoleFreeMemory(role);
  PDS_DOMAIN_TRUSTSW trusts = nullptr;
  ULONG count = 0;
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_LOGON_SERVERS),
            net.DsEnumerateDomainTrustsW(nullptr, 0x22, &trusts, &count));

  sim::NetDomain& corp = Net().AddDomain(L"CORP", L"corp.example.com", L"DC01");
  corp.trusts.push_back(sim::NetTrust{true, L"PARTNER", L"partner.example.com"});
  corp.trusts.push_back(sim::NetTrust{false, L"", L"mit.example.org"});
  Net().Join(L"SIMHOST", L"CORP");
  ASSERT_EQ(0u, net.DsRoleGetPrimaryDomainInformation(nullptr, DsRolePrimaryDomainInfoBasic, &role));
  auto* info = reinterpret_cast<DSROLE_PRIMARY_DOMAIN_INFO_BASIC*>(role);
  EXPECT_EQ(DsRole_RoleMemberWorkstation, info->MachineRole);
  EXPECT_STREQ(L"CORP", info->DomainNameFlat);
  EXPECT_STREQ(L"corp.example.com", info->DomainNameDns);
  EXPECT_EQ(1, Net().OutstandingRoleBuffers());
  net.DsRoleFreeMemory(role);
  EXPECT_EQ(0, Net().OutstandingRoleBuffers());

  ASSERT_EQ(0u, net.DsEnumerateDomainTrustsW(nullptr, 0x22, &trusts, &count));
  ASSERT_EQ(2u, count);
  EXPECT_STREQ(L"PARTNER", trusts[0].NetbiosDomainName);
  EXPECT_EQ(nullptr, trusts[1].NetbiosDomainName);
  EXPECT_STREQ(L"mit.example.org", trusts[1].DnsDomainName);
  net.NetApiBufferFree(trusts);
  ASSERT_EQ(0u, net.DsEnumerateDomainTrustsW(nullptr, DS_DOMAIN_IN_FOREST, &trusts, &count));
  ASSERT_EQ(1u, count);
  EXPECT_STREQ(L"CORP", trusts[0].NetbiosDomainName);
  net.NetApiBufferFree(trusts);

  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  ASSERT_EQ(0u, net.NetUserEnum(L"\\\\DC01", 0, FILTER_WORKSTATION_TRUST_ACCOUNT | FILTER_SERVER_TRUST_ACCOUNT,
                                &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume));
  ASSERT_EQ(2u, read);
  EXPECT_STREQ(L"DC01$", reinterpret_cast<USER_INFO_0*>(buffer)[0].usri0_name);
  EXPECT_STREQ(L"SIMHOST$", reinterpret_cast<USER_INFO_0*>(buffer)[1].usri0_name);
  net.NetApiBufferFree(buffer);
  EXPECT_EQ(0, Net().OutstandingBuffers());
}

TEST(SimNetShareTest, SharesServerAndDfs) {
  Net().AddShare(L"SRV", sim::NetShare{L"C$", STYPE_SPECIAL, L"Default share", L"C:\\"});
  Net().AddShare(L"SRV", sim::NetShare{L"IPC$", STYPE_SPECIAL | STYPE_IPC, L"Remote IPC", L""});
  Q::INetServices& net = Q::Net();
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0;
  wchar_t server[] = L"\\\\SRV";
  ASSERT_EQ(0u, net.NetShareEnum(server, 502, &buffer, MAX_PREFERRED_LENGTH, &read, &total, nullptr));
  ASSERT_EQ(2u, read);
  auto* shares = reinterpret_cast<SHARE_INFO_502*>(buffer);
  EXPECT_STREQ(L"C:\\", shares[0].shi502_path);
  EXPECT_EQ(nullptr, shares[1].shi502_path);
  net.NetApiBufferFree(buffer);
  ASSERT_EQ(0u, net.NetServerGetInfo(server, 102, &buffer));
  EXPECT_STREQ(L"SRV", reinterpret_cast<SERVER_INFO_102*>(buffer)->sv102_name);
  net.NetApiBufferFree(buffer);
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), net.NetServerGetInfo(server, 101, &buffer));
  Net().SetAnswers(L"SRV", false);
  EXPECT_NE(0u, net.NetServerGetInfo(server, 102, &buffer));
  EXPECT_EQ(nullptr, buffer);

  Net().AddDfsRoot(L"\\\\CORP\\Public",
                   {{L"\\\\CORP\\Public", L"", {{L"FS1", L"Public"}}},
                    {L"\\\\CORP\\Public\\Docs", L"", {{L"FS1", L"docs"}, {L"FS2", L"docs"}}},
                    {L"\\\\CORP\\Public\\Empty", L"", {}}});
  wchar_t root[] = L"\\\\corp\\public";
  ASSERT_EQ(0u, net.NetDfsEnum(root, 3, MAX_PREFERRED_LENGTH, &buffer, &read, nullptr));
  ASSERT_EQ(3u, read);
  auto* entries = reinterpret_cast<DFS_INFO_3*>(buffer);
  EXPECT_EQ(2u, entries[1].NumberOfStorages);
  EXPECT_STREQ(L"FS2", entries[1].Storage[1].ServerName);
  EXPECT_EQ(nullptr, entries[2].Storage);
  net.NetApiBufferFree(buffer);
  EXPECT_EQ(0, Net().OutstandingBuffers());
}

TEST(SimNetProviderTest, NetworksDomainsAndConnections) {
  Net().AddProviderNetwork(L"Microsoft Windows Network", L"Microsoft Windows Network");
  Net().AddProviderDomain(L"Microsoft Windows Network", L"CORP");
  Net().AddProviderDomain(L"Microsoft Windows Network", L"WORKGROUP");
  Net().MapDrive(L"Z:", L"\\\\SRV\\Data");
  Q::INetServices& net = Q::Net();
  HANDLE top = nullptr;
  ASSERT_EQ(0u, net.WNetOpenEnumW(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, nullptr, &top));
  alignas(8) BYTE buffer[16384];
  DWORD count = 0xFFFFFFFF, size = sizeof(buffer);
  ASSERT_EQ(0u, net.WNetEnumResourceW(top, &count, buffer, &size));
  ASSERT_EQ(1u, count);
  auto* network = reinterpret_cast<NETRESOURCEW*>(buffer);
  EXPECT_EQ(static_cast<DWORD>(RESOURCEDISPLAYTYPE_NETWORK), network->dwDisplayType);
  HANDLE inner = nullptr;
  ASSERT_EQ(0u, net.WNetOpenEnumW(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, network, &inner));
  alignas(8) BYTE second[16384];
  count = 0xFFFFFFFF;
  size = sizeof(second);
  ASSERT_EQ(0u, net.WNetEnumResourceW(inner, &count, second, &size));
  ASSERT_EQ(2u, count);
  EXPECT_STREQ(L"WORKGROUP", reinterpret_cast<NETRESOURCEW*>(second)[1].lpRemoteName);
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), net.WNetEnumResourceW(inner, &count, second, &size));
  EXPECT_EQ(0u, net.WNetCloseEnum(inner));
  EXPECT_EQ(0u, net.WNetCloseEnum(top));
  EXPECT_EQ(0, Net().OpenEnumHandles());

  wchar_t provider[4096];
  DWORD chars = 4096;
  ASSERT_EQ(0u, net.WNetGetProviderNameW(WNNC_NET_LANMAN, provider, &chars));
  EXPECT_STREQ(L"Microsoft Windows Network", provider);
  wchar_t remote[2048];
  DWORD length = 2048;
  ASSERT_EQ(0u, net.WNetGetConnectionW(L"Z:", remote, &length));
  EXPECT_STREQ(L"\\\\SRV\\Data", remote);
  length = 3;
  EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), net.WNetGetConnectionW(L"Z:", remote, &length));
  EXPECT_EQ(11u, length);
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_CONNECTED), net.WNetGetConnectionW(L"C:", remote, &length));
}

}  // namespace
