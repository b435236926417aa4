#include "sim/net.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <functional>

namespace sim {
namespace {

bool Same(const std::wstring& a, const std::wstring& b) { return Upper(a) == Upper(b); }

std::wstring Bare(const wchar_t* server) {
  if (server == nullptr) return L"";
  while (*server == L'\\') ++server;
  return server;
}

std::wstring Hex(DWORD v) { return ArgHex(v); }

struct WellKnown {
  const wchar_t* sid;
  const wchar_t* domain;
  const wchar_t* name;
  SID_NAME_USE use;
};

// English names of the well-known SIDs and the built-in aliases.
const WellKnown kWellKnown[] = {
    {L"S-1-1-0", L"", L"Everyone", SidTypeWellKnownGroup},
    {L"S-1-2-0", L"", L"LOCAL", SidTypeWellKnownGroup},
    {L"S-1-3-0", L"", L"CREATOR OWNER", SidTypeWellKnownGroup},
    {L"S-1-3-1", L"", L"CREATOR GROUP", SidTypeWellKnownGroup},
    {L"S-1-5", L"NT AUTHORITY", L"NT AUTHORITY", SidTypeDomain},
    {L"S-1-5-1", L"NT AUTHORITY", L"DIALUP", SidTypeWellKnownGroup},
    {L"S-1-5-2", L"NT AUTHORITY", L"NETWORK", SidTypeWellKnownGroup},
    {L"S-1-5-3", L"NT AUTHORITY", L"BATCH", SidTypeWellKnownGroup},
    {L"S-1-5-4", L"NT AUTHORITY", L"INTERACTIVE", SidTypeWellKnownGroup},
    {L"S-1-5-6", L"NT AUTHORITY", L"SERVICE", SidTypeWellKnownGroup},
    {L"S-1-5-7", L"NT AUTHORITY", L"ANONYMOUS LOGON", SidTypeWellKnownGroup},
    {L"S-1-5-8", L"NT AUTHORITY", L"PROXY", SidTypeWellKnownGroup},
    {L"S-1-5-9", L"NT AUTHORITY", L"ENTERPRISE DOMAIN CONTROLLERS", SidTypeWellKnownGroup},
    {L"S-1-5-10", L"NT AUTHORITY", L"SELF", SidTypeWellKnownGroup},
    {L"S-1-5-11", L"NT AUTHORITY", L"Authenticated Users", SidTypeWellKnownGroup},
    {L"S-1-5-12", L"NT AUTHORITY", L"RESTRICTED", SidTypeWellKnownGroup},
    {L"S-1-5-13", L"NT AUTHORITY", L"TERMINAL SERVER USER", SidTypeWellKnownGroup},
    {L"S-1-5-14", L"NT AUTHORITY", L"REMOTE INTERACTIVE LOGON", SidTypeWellKnownGroup},
    {L"S-1-5-18", L"NT AUTHORITY", L"SYSTEM", SidTypeWellKnownGroup},
    {L"S-1-5-19", L"NT AUTHORITY", L"LOCAL SERVICE", SidTypeWellKnownGroup},
    {L"S-1-5-20", L"NT AUTHORITY", L"NETWORK SERVICE", SidTypeWellKnownGroup},
    {L"S-1-5-32", L"BUILTIN", L"BUILTIN", SidTypeDomain},
    {L"S-1-5-32-544", L"BUILTIN", L"Administrators", SidTypeAlias},
    {L"S-1-5-32-545", L"BUILTIN", L"Users", SidTypeAlias},
    {L"S-1-5-32-546", L"BUILTIN", L"Guests", SidTypeAlias},
    {L"S-1-5-32-547", L"BUILTIN", L"Power Users", SidTypeAlias},
    {L"S-1-5-32-548", L"BUILTIN", L"Account Operators", SidTypeAlias},
    {L"S-1-5-32-549", L"BUILTIN", L"Server Operators", SidTypeAlias},
    {L"S-1-5-32-550", L"BUILTIN", L"Print Operators", SidTypeAlias},
    {L"S-1-5-32-551", L"BUILTIN", L"Backup Operators", SidTypeAlias},
    {L"S-1-5-32-552", L"BUILTIN", L"Replicator", SidTypeAlias},
};

const WellKnown* FindWellKnownBySid(const std::wstring& sid) {
  for (const WellKnown& w : kWellKnown)
    if (sid == w.sid) return &w;
  return nullptr;
}

// Copies `text` into a caller's buffer of *size characters; the platform's two-size
// protocol: too small (or none) reports the size with the NUL.
bool Fits(const std::wstring& text, LPDWORD size, LPWSTR buffer) {
  return buffer != nullptr && size != nullptr && *size > text.size();
}

void CopyOut(const std::wstring& text, LPWSTR buffer) {
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = L'\0';
}

// How many entries from `start` one call returns for a preferred length.
std::size_t Take(std::size_t total, std::size_t start, DWORD preferredLength, std::size_t record) {
  if (start >= total) return 0;
  if (preferredLength == MAX_PREFERRED_LENGTH) return total - start;
  std::size_t n = preferredLength / (record + 64);
  if (n == 0) n = 1;
  return std::min(n, total - start);
}

}  // namespace

// --- SIDs as bytes -----------------------------------------------------------------------

std::vector<BYTE> SidFromText(const std::wstring& text) {
  std::vector<BYTE> out;
  if (text.size() < 4 || Upper(text.substr(0, 2)) != L"S-") return out;
  std::vector<unsigned long long> parts;
  std::size_t pos = 2;
  while (pos <= text.size()) {
    std::size_t end = text.find(L'-', pos);
    if (end == std::wstring::npos) end = text.size();
    if (end == pos) return {};
    unsigned long long v = 0;
    for (std::size_t i = pos; i < end; ++i) {
      if (text[i] < L'0' || text[i] > L'9') return {};
      v = v * 10 + static_cast<unsigned>(text[i] - L'0');
      if (v > 0xFFFFFFFFFFFFull) return {};
    }
    parts.push_back(v);
    pos = end + 1;
  }
  if (parts.size() < 2 || parts.size() - 2 > SID_MAX_SUB_AUTHORITIES) return {};
  const std::size_t count = parts.size() - 2;
  out.assign(8 + 4 * count, 0);
  out[0] = static_cast<BYTE>(parts[0]);
  out[1] = static_cast<BYTE>(count);
  for (int i = 0; i < 6; ++i) out[2 + i] = static_cast<BYTE>(parts[1] >> (8 * (5 - i)));
  for (std::size_t i = 0; i < count; ++i) {
    const DWORD sub = static_cast<DWORD>(parts[2 + i]);
    std::memcpy(&out[8 + 4 * i], &sub, 4);
  }
  return out;
}

std::wstring SidToString(const void* sid) {
  const auto* b = static_cast<const BYTE*>(sid);
  unsigned long long authority = 0;
  for (int i = 0; i < 6; ++i) authority = (authority << 8) | b[2 + i];
  std::wstring out = L"S-" + std::to_wstring(b[0]) + L"-" + std::to_wstring(authority);
  for (int i = 0; i < b[1]; ++i) {
    DWORD sub;
    std::memcpy(&sub, b + 8 + 4 * i, 4);
    out += L"-" + std::to_wstring(sub);
  }
  return out;
}

// --- Handed-out buffers ------------------------------------------------------------------

class SimNet::Buffer {
 public:
  template <class T>
  T* Records(std::size_t n) {
    records_ = std::make_unique<BYTE[]>(sizeof(T) * (n == 0 ? 1 : n));
    return reinterpret_cast<T*>(records_.get());
  }
  template <class T>
  T* Extra(std::size_t n) {
    extras_.push_back(std::make_unique<BYTE[]>(sizeof(T) * (n == 0 ? 1 : n)));
    return reinterpret_cast<T*>(extras_.back().get());
  }
  LPWSTR Str(const std::wstring& s) {
    strings_.push_back(std::make_unique<wchar_t[]>(s.size() + 1));
    CopyOut(s, strings_.back().get());
    return strings_.back().get();
  }
  LPWSTR StrOrNull(const std::wstring& s) { return s.empty() ? nullptr : Str(s); }
  PSID Sid(const std::wstring& text) {
    const std::vector<BYTE> bytes = SidFromText(text);
    if (bytes.empty()) return nullptr;
    BYTE* p = Extra<BYTE>(bytes.size());
    std::memcpy(p, bytes.data(), bytes.size());
    return p;
  }
  void* Base() const { return records_.get(); }

 private:
  std::unique_ptr<BYTE[]> records_;
  std::vector<std::unique_ptr<BYTE[]>> extras_;
  std::vector<std::unique_ptr<wchar_t[]>> strings_;
};

SimNet::SimNet(CallLog& log, FailureInjector& failures, SimSystem& system)
    : log_(log), failures_(failures), system_(system) {}

SimNet::~SimNet() = default;

bool SimNet::Fails(const char* name, DWORD* status) {
  uint32_t error = 0;
  if (!failures_.ShouldFail(name, &error)) return false;
  *status = error;
  return true;
}

bool SimNet::FailsWithLastError(const char* name) {
  DWORD error = 0;
  if (!Fails(name, &error)) return false;
  system_.SetLastError(error);
  return true;
}

LPBYTE SimNet::HandOut(std::unique_ptr<Buffer> buffer) {
  void* base = buffer->Base();
  buffers_[base] = std::move(buffer);
  return static_cast<LPBYTE>(base);
}

// --- Builder -----------------------------------------------------------------------------

NetMachine& SimNet::Machine(const std::wstring& name) {
  const std::wstring bare = Bare(name.c_str());
  const std::wstring key = Upper(bare);
  auto it = machines_.find(key);
  if (it != machines_.end()) return it->second;
  NetMachine& m = machines_[key];
  m.name = bare;
  m.accountDomain = Upper(bare);
  m.accountSid = L"S-1-5-21-1111-2222-" + std::to_wstring(3000 + machines_.size());
  // The accounts of a fresh installation.
  NetUser admin{L"Administrator", L"", L"Built-in account for administering the computer/domain",
                USER_PRIV_ADMIN, UF_SCRIPT | UF_NORMAL_ACCOUNT | UF_DONT_EXPIRE_PASSWD, 500};
  NetUser guest{L"Guest", L"", L"Built-in account for guest access to the computer/domain",
                USER_PRIV_GUEST, UF_SCRIPT | UF_NORMAL_ACCOUNT | UF_ACCOUNTDISABLE, 501};
  m.users = {admin, guest};
  m.localGroups = {
      {L"Administrators", L"Administrators have complete and unrestricted access to the computer/domain",
       L"S-1-5-32-544", {m.accountSid + L"-500"}},
      {L"Users", L"Users are prevented from making accidental or intentional system-wide changes",
       L"S-1-5-32-545", {}},
      {L"Guests", L"Guests have the same access as members of the Users group by default",
       L"S-1-5-32-546", {m.accountSid + L"-501"}},
  };
  return m;
}

NetMachine& SimNet::Local() { return Machine(system_.ComputerName()); }

NetMachine* SimNet::FindMachine(const std::wstring& name) {
  const std::wstring key = Upper(Bare(name.c_str()));
  if (key.empty()) return &Local();
  if (key == Upper(system_.ComputerName())) return &Local();
  auto it = machines_.find(key);
  return it == machines_.end() ? nullptr : &it->second;
}

NetUser& SimNet::AddUser(const std::wstring& computer, const std::wstring& name,
                         const std::wstring& fullName, const std::wstring& comment) {
  NetMachine& m = Machine(computer);
  m.users.push_back(NetUser{name, fullName, comment, USER_PRIV_USER, UF_SCRIPT | UF_NORMAL_ACCOUNT,
                            m.nextRid++});
  return m.users.back();
}

NetGroup& SimNet::AddGroup(const std::wstring& computer, const std::wstring& name,
                           const std::wstring& comment) {
  NetMachine& m = Machine(computer);
  m.groups.push_back(NetGroup{name, comment, m.nextRid++, {}});
  return m.groups.back();
}

NetLocalGroup& SimNet::AddLocalGroup(const std::wstring& computer, const std::wstring& name,
                                     const std::wstring& comment) {
  NetMachine& m = Machine(computer);
  m.localGroups.push_back(
      NetLocalGroup{name, comment, m.accountSid + L"-" + std::to_wstring(m.nextRid++), {}});
  return m.localGroups.back();
}

std::wstring SimNet::AccountSid(const std::wstring& computer, const std::wstring& name) {
  NetMachine& m = Machine(computer);
  for (const NetUser& u : m.users)
    if (Same(u.name, name)) return m.accountSid + L"-" + std::to_wstring(u.rid);
  for (const NetGroup& g : m.groups)
    if (Same(g.name, name)) return m.accountSid + L"-" + std::to_wstring(g.rid);
  for (const NetLocalGroup& g : m.localGroups)
    if (Same(g.name, name)) return g.sid;
  return L"";
}

void SimNet::AddShare(const std::wstring& computer, const NetShare& share) {
  Machine(computer).shares.push_back(share);
}

void SimNet::SetSidName(const std::wstring& computer, const std::wstring& sid,
                        const SidName& name) {
  Machine(computer).sidNames[sid] = name;
}

void SimNet::ClearAccounts(const std::wstring& computer) {
  NetMachine& m = Machine(computer);
  m.users.clear();
  m.groups.clear();
  m.localGroups.clear();
}

NetDomain& SimNet::AddDomain(const std::wstring& flat, const std::wstring& dns,
                             const std::wstring& controller) {
  NetDomain& d = domains_[Upper(flat)];
  d.flat = flat;
  d.dns = dns;
  d.controller = Bare(controller.c_str());
  NetMachine& dc = Machine(controller);
  dc.accountDomain = Upper(flat);
  dc.accountSid = L"S-1-5-21-7000-8000-" + std::to_wstring(9000 + nextDomainSid_++);
  dc.domain = flat;
  // The controller keeps the domain's accounts; its fresh accounts take the domain's SID.
  dc.localGroups[0].memberSids = {dc.accountSid + L"-500"};
  dc.localGroups[2].memberSids = {dc.accountSid + L"-501"};
  dc.groups = {NetGroup{L"Domain Admins", L"Designated administrators of the domain", 512,
                        {L"Administrator"}},
               NetGroup{L"Domain Users", L"All domain users", 513, {L"Administrator"}}};
  NetUser machineAccount{Upper(d.controller) + L"$", L"", L"", USER_PRIV_USER,
                         UF_SCRIPT | UF_SERVER_TRUST_ACCOUNT, dc.nextRid++};
  dc.users.push_back(machineAccount);
  return d;
}

void SimNet::Join(const std::wstring& computer, const std::wstring& domain) {
  NetDomain* d = FindDomain(domain);
  if (d == nullptr) return;
  NetMachine& m = Machine(computer);
  m.domain = d->flat;
  NetMachine& dc = Machine(d->controller);
  dc.users.push_back(NetUser{Upper(m.name) + L"$", L"", L"", USER_PRIV_USER,
                             UF_SCRIPT | UF_WORKSTATION_TRUST_ACCOUNT, dc.nextRid++});
}

NetDomain* SimNet::FindDomain(const std::wstring& name) {
  for (auto& entry : domains_)
    if (Same(entry.second.flat, name) || Same(entry.second.dns, name)) return &entry.second;
  return nullptr;
}

NetMachine* SimNet::Controller(const NetDomain& domain) {
  NetMachine* dc = FindMachine(domain.controller);
  return dc != nullptr && dc->answers ? dc : nullptr;
}

void SimNet::AddDfsRoot(const std::wstring& rootPath, const std::vector<DfsEntry>& entries) {
  dfs_[Upper(rootPath)] = entries;
}

void SimNet::AddProviderNetwork(const std::wstring& network, const std::wstring& provider) {
  networks_.push_back(ProviderNetwork{network, provider, {}});
}

void SimNet::AddProviderDomain(const std::wstring& network, const std::wstring& domain) {
  for (ProviderNetwork& n : networks_)
    if (n.name == network) n.domains.push_back(domain);
}

void SimNet::MapDrive(const std::wstring& localName, const std::wstring& remoteName) {
  drives_[Upper(localName)] = remoteName;
}

// --- Name resolution ---------------------------------------------------------------------

NetMachine* SimNet::Target(LPCWSTR server, DWORD* status) {
  NetMachine* m = FindMachine(server ? server : L"");
  if (m == nullptr || !m->answers) {
    *status = ERROR_BAD_NETPATH;
    return nullptr;
  }
  return m;
}

namespace {

// The accounts a computer keeps itself, by SID or by name.
bool OwnAccountBySid(const NetMachine& m, const std::wstring& sid, SidName* out) {
  for (const NetUser& u : m.users)
    if (m.accountSid + L"-" + std::to_wstring(u.rid) == sid) {
      *out = SidName{m.accountDomain, u.name, SidTypeUser};
      return true;
    }
  for (const NetGroup& g : m.groups)
    if (m.accountSid + L"-" + std::to_wstring(g.rid) == sid) {
      *out = SidName{m.accountDomain, g.name, SidTypeGroup};
      return true;
    }
  for (const NetLocalGroup& g : m.localGroups)
    if (g.sid == sid && g.sid.compare(0, 9, L"S-1-5-32-") != 0) {
      *out = SidName{m.accountDomain, g.name, SidTypeAlias};
      return true;
    }
  if (sid == m.accountSid) {
    *out = SidName{m.accountDomain, m.accountDomain, SidTypeDomain};
    return true;
  }
  return false;
}

bool OwnAccountByName(const NetMachine& m, const std::wstring& name, std::wstring* sid,
                      SidName* out) {
  for (const NetUser& u : m.users)
    if (Same(u.name, name)) {
      *sid = m.accountSid + L"-" + std::to_wstring(u.rid);
      *out = SidName{m.accountDomain, u.name, SidTypeUser};
      return true;
    }
  for (const NetGroup& g : m.groups)
    if (Same(g.name, name)) {
      *sid = m.accountSid + L"-" + std::to_wstring(g.rid);
      *out = SidName{m.accountDomain, g.name, SidTypeGroup};
      return true;
    }
  for (const NetLocalGroup& g : m.localGroups)
    if (Same(g.name, name) && g.sid.compare(0, 9, L"S-1-5-32-") != 0) {
      *sid = g.sid;
      *out = SidName{m.accountDomain, g.name, SidTypeAlias};
      return true;
    }
  if (Same(name, m.accountDomain)) {
    *sid = m.accountSid;
    *out = SidName{m.accountDomain, m.accountDomain, SidTypeDomain};
    return true;
  }
  return false;
}

}  // namespace

bool SimNet::ResolveSid(NetMachine& machine, const std::wstring& sid, SidName* out) {
  auto over = machine.sidNames.find(sid);
  if (over != machine.sidNames.end()) {
    *out = over->second;
    return true;
  }
  if (const WellKnown* w = FindWellKnownBySid(sid)) {
    *out = SidName{w->domain, w->name, w->use};
    return true;
  }
  if (OwnAccountBySid(machine, sid, out)) return true;
  if (!machine.domain.empty()) {
    NetDomain* d = FindDomain(machine.domain);
    std::vector<NetDomain*> domains;
    if (d != nullptr) {
      domains.push_back(d);
      for (const NetTrust& t : d->trusts)
        if (NetDomain* td = FindDomain(t.hasNetbios ? t.netbios : t.dns)) domains.push_back(td);
    }
    for (NetDomain* dom : domains) {
      NetMachine* dc = Controller(*dom);
      if (dc != nullptr && dc != &machine && OwnAccountBySid(*dc, sid, out)) return true;
    }
  }
  return false;
}

bool SimNet::ResolveName(NetMachine& machine, const std::wstring& name, Resolved* out) {
  std::wstring domain;
  std::wstring account = name;
  const std::size_t slash = name.find(L'\\');
  const bool qualified = slash != std::wstring::npos;
  if (qualified) {
    domain = name.substr(0, slash);
    account = name.substr(slash + 1);
  }
  if (account.empty() || account.size() > 256) return false;
  // Names the computer gives to SIDs, then the well-known accounts.
  for (const auto& entry : machine.sidNames)
    if (Same(entry.second.name, account) && (!qualified || Same(entry.second.domain, domain))) {
      *out = Resolved{entry.first, entry.second};
      return true;
    }
  for (const WellKnown& w : kWellKnown)
    if (Same(w.name, account) && (!qualified || Same(w.domain, domain))) {
      *out = Resolved{w.sid, SidName{w.domain, w.name, w.use}};
      return true;
    }
  if (!qualified || Same(domain, machine.accountDomain) || Same(domain, machine.name)) {
    if (OwnAccountByName(machine, account, &out->sid, &out->name)) return true;
  }
  if (!machine.domain.empty()) {
    NetDomain* d = FindDomain(machine.domain);
    std::vector<NetDomain*> domains;
    if (d != nullptr) {
      domains.push_back(d);
      for (const NetTrust& t : d->trusts)
        if (NetDomain* td = FindDomain(t.hasNetbios ? t.netbios : t.dns)) domains.push_back(td);
    }
    for (NetDomain* dom : domains) {
      if (qualified && !Same(domain, dom->flat) && !Same(domain, dom->dns)) continue;
      NetMachine* dc = Controller(*dom);
      if (dc != nullptr && OwnAccountByName(*dc, account, &out->sid, &out->name)) return true;
    }
  }
  return false;
}

// --- Network management ------------------------------------------------------------------

NET_API_STATUS SimNet::NetServerGetInfo(LMSTR server, DWORD level, LPBYTE* buffer) {
  log_.Record("NetServerGetInfo", {Arg(server), Arg(level)});
  if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  DWORD status = 0;
  if (Fails("NetServerGetInfo", &status)) return status;
  NetMachine* m = Target(server, &status);
  if (m == nullptr) return status;
  if (level != 102) return ERROR_INVALID_LEVEL;
  auto b = std::make_unique<Buffer>();
  auto* r = b->Records<SERVER_INFO_102>(1);
  r->sv102_platform_id = PLATFORM_ID_NT;
  r->sv102_name = b->Str(m->name);
  r->sv102_version_major = 5;
  r->sv102_version_minor = 1;
  r->sv102_type = SV_TYPE_WORKSTATION | SV_TYPE_SERVER | SV_TYPE_NT;
  if (Upper(m->accountDomain) != Upper(m->name)) r->sv102_type |= SV_TYPE_DOMAIN_CTRL;
  r->sv102_comment = b->Str(L"");
  r->sv102_disc = 15;
  r->sv102_announce = 240;
  r->sv102_anndelta = 3000;
  r->sv102_userpath = b->Str(L"c:\\");
  *buffer = HandOut(std::move(b));
  return NERR_Success;
}

namespace {
void FillShare(SimNet::Buffer& b, SHARE_INFO_502* r, const NetShare& s) {
  r->shi502_netname = b.Str(s.name);
  r->shi502_type = s.type;
  r->shi502_remark = b.Str(s.remark);
  r->shi502_max_uses = static_cast<DWORD>(-1);
  r->shi502_path = b.StrOrNull(s.path);
}
}  // namespace

NET_API_STATUS SimNet::NetShareEnum(LMSTR server, DWORD level, LPBYTE* buffer,
                                    DWORD preferredLength, LPDWORD entriesRead,
                                    LPDWORD totalEntries, LPDWORD resumeHandle) {
  log_.Record("NetShareEnum", {Arg(server), Arg(level), Arg(preferredLength)});
  if (buffer == nullptr || entriesRead == nullptr || totalEntries == nullptr)
    return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  *entriesRead = *totalEntries = 0;
  DWORD status = 0;
  if (Fails("NetShareEnum", &status)) return status;
  NetMachine* m = Target(server, &status);
  if (m == nullptr) return status;
  if (level != 502) return ERROR_INVALID_LEVEL;
  const std::size_t start = resumeHandle ? *resumeHandle : 0;
  const std::size_t n = Take(m->shares.size(), start, preferredLength, sizeof(SHARE_INFO_502));
  *totalEntries = static_cast<DWORD>(m->shares.size());
  if (n == 0) return NERR_Success;
  auto b = std::make_unique<Buffer>();
  auto* r = b->Records<SHARE_INFO_502>(n);
  for (std::size_t i = 0; i < n; ++i) FillShare(*b, &r[i], m->shares[start + i]);
  *entriesRead = static_cast<DWORD>(n);
  *buffer = HandOut(std::move(b));
  if (start + n < m->shares.size()) {
    if (resumeHandle) *resumeHandle = static_cast<DWORD>(start + n);
    return ERROR_MORE_DATA;
  }
  if (resumeHandle) *resumeHandle = 0;
  return NERR_Success;
}

NET_API_STATUS SimNet::NetShareGetInfo(LMSTR server, LMSTR netName, DWORD level, LPBYTE* buffer) {
  log_.Record("NetShareGetInfo", {Arg(server), Arg(netName), Arg(level)});
  if (buffer == nullptr || netName == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  DWORD status = 0;
  if (Fails("NetShareGetInfo", &status)) return status;
  NetMachine* m = Target(server, &status);
  if (m == nullptr) return status;
  if (level != 502) return ERROR_INVALID_LEVEL;
  for (const NetShare& s : m->shares) {
    if (!Same(s.name, netName)) continue;
    auto b = std::make_unique<Buffer>();
    FillShare(*b, b->Records<SHARE_INFO_502>(1), s);
    *buffer = HandOut(std::move(b));
    return NERR_Success;
  }
  return NERR_NetNameNotFound;
}

namespace {
bool UserMatches(DWORD filter, DWORD flags) {
  if (filter == 0) return true;
  DWORD kinds = 0;
  if (flags & UF_NORMAL_ACCOUNT) kinds |= FILTER_NORMAL_ACCOUNT;
  if (flags & UF_TEMP_DUPLICATE_ACCOUNT) kinds |= FILTER_TEMP_DUPLICATE_ACCOUNT;
  if (flags & UF_INTERDOMAIN_TRUST_ACCOUNT) kinds |= FILTER_INTERDOMAIN_TRUST_ACCOUNT;
  if (flags & UF_WORKSTATION_TRUST_ACCOUNT) kinds |= FILTER_WORKSTATION_TRUST_ACCOUNT;
  if (flags & UF_SERVER_TRUST_ACCOUNT) kinds |= FILTER_SERVER_TRUST_ACCOUNT;
  return (kinds & filter) != 0;
}

// Hands out the names of `names` from the resume point as level-0 records of type R.
template <class R, class Resume>
NET_API_STATUS NameRecords(SimNet& net, const std::vector<std::wstring>& names, DWORD preferredLength,
                           LPBYTE* buffer, LPDWORD entriesRead, LPDWORD totalEntries,
                           Resume* resumeHandle,
                           const std::function<LPBYTE(std::unique_ptr<SimNet::Buffer>)>& handOut) {
  const std::size_t start = resumeHandle ? static_cast<std::size_t>(*resumeHandle) : 0;
  const std::size_t n = Take(names.size(), start, preferredLength, sizeof(R));
  *totalEntries = static_cast<DWORD>(names.size());
  if (n == 0) return NERR_Success;
  auto b = std::make_unique<SimNet::Buffer>();
  R* r = b->Records<R>(n);
  for (std::size_t i = 0; i < n; ++i)
    *reinterpret_cast<LPWSTR*>(&r[i]) = b->Str(names[start + i]);
  *entriesRead = static_cast<DWORD>(n);
  *buffer = handOut(std::move(b));
  if (start + n < names.size()) {
    if (resumeHandle) *resumeHandle = static_cast<Resume>(start + n);
    return ERROR_MORE_DATA;
  }
  if (resumeHandle) *resumeHandle = 0;
  return NERR_Success;
}
}  // namespace

NET_API_STATUS SimNet::NetUserEnum(LPCWSTR server, DWORD level, DWORD filter, LPBYTE* buffer,
                                   DWORD preferredLength, LPDWORD entriesRead,
                                   LPDWORD totalEntries, LPDWORD resumeHandle) {
  log_.Record("NetUserEnum", {Arg(server), Arg(level), Hex(filter), Arg(preferredLength),
                              Arg(resumeHandle ? *resumeHandle : 0)});
  if (buffer == nullptr || entriesRead == nullptr || totalEntries == nullptr)
    return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  *entriesRead = *totalEntries = 0;
  DWORD status = 0;
  if (Fails("NetUserEnum", &status)) return status;
  NetMachine* m = Target(server, &status);
  if (m == nullptr) return status;
  if (level != 0) return ERROR_INVALID_LEVEL;
  std::vector<std::wstring> names;
  for (const NetUser& u : m->users)
    if (UserMatches(filter, u.flags)) names.push_back(u.name);
  return NameRecords<USER_INFO_0>(*this, names, preferredLength, buffer, entriesRead,
                                  totalEntries, resumeHandle,
                                  [this](std::unique_ptr<Buffer> b) { return HandOut(std::move(b)); });
}

NET_API_STATUS SimNet::NetGroupEnum(LPCWSTR server, DWORD level, LPBYTE* buffer,
                                    DWORD preferredLength, LPDWORD entriesRead,
                                    LPDWORD totalEntries, PDWORD_PTR resumeHandle) {
  log_.Record("NetGroupEnum", {Arg(server), Arg(level), Arg(preferredLength)});
  if (buffer == nullptr || entriesRead == nullptr || totalEntries == nullptr)
    return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  *entriesRead = *totalEntries = 0;
  DWORD status = 0;
  if (Fails("NetGroupEnum", &status)) return status;
  NetMachine* m = Target(server, &status);
  if (m == nullptr) return status;
  if (level != 0) return ERROR_INVALID_LEVEL;
  std::vector<std::wstring> names;
  for (const NetGroup& g : m->groups) names.push_back(g.name);
  return NameRecords<GROUP_INFO_0>(*this, names, preferredLength, buffer, entriesRead,
                                   totalEntries, resumeHandle,
                                   [this](std::unique_ptr<Buffer> b) { return HandOut(std::move(b)); });
}

NET_API_STATUS SimNet::NetLocalGroupEnum(LPCWSTR server, DWORD level, LPBYTE* buffer,
                                         DWORD preferredLength, LPDWORD entriesRead,
                                         LPDWORD totalEntries, PDWORD_PTR resumeHandle) {
  log_.Record("NetLocalGroupEnum", {Arg(server), Arg(level), Arg(preferredLength)});
  if (buffer == nullptr || entriesRead == nullptr || totalEntries == nullptr)
    return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  *entriesRead = *totalEntries = 0;
  DWORD status = 0;
  if (Fails("NetLocalGroupEnum", &status)) return status;
  NetMachine* m = Target(server, &status);
  if (m == nullptr) return status;
  if (level != 0) return ERROR_INVALID_LEVEL;
  std::vector<std::wstring> names;
  for (const NetLocalGroup& g : m->localGroups) names.push_back(g.name);
  return NameRecords<LOCALGROUP_INFO_0>(*this, names, preferredLength, buffer, entriesRead,
                                        totalEntries, resumeHandle,
                                        [this](std::unique_ptr<Buffer> b) { return HandOut(std::move(b)); });
}

NET_API_STATUS SimNet::NetGroupGetUsers(LPCWSTR server, LPCWSTR groupName, DWORD level,
                                        LPBYTE* buffer, DWORD preferredLength,
                                        LPDWORD entriesRead, LPDWORD totalEntries,
                                        PDWORD_PTR resumeHandle) {
  log_.Record("NetGroupGetUsers", {Arg(server), Arg(groupName), Arg(level), Arg(preferredLength)});
  if (buffer == nullptr || entriesRead == nullptr || totalEntries == nullptr)
    return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  *entriesRead = *totalEntries = 0;
  DWORD status = 0;
  if (Fails("NetGroupGetUsers", &status)) return status;
  NetMachine* m = Target(server, &status);
  if (m == nullptr) return status;
  if (level != 0) return ERROR_INVALID_LEVEL;
  for (const NetGroup& g : m->groups) {
    if (groupName == nullptr || !Same(g.name, groupName)) continue;
    return NameRecords<GROUP_USERS_INFO_0>(*this, g.members, preferredLength, buffer, entriesRead,
                                           totalEntries, resumeHandle,
                                           [this](std::unique_ptr<Buffer> b) { return HandOut(std::move(b)); });
  }
  return NERR_GroupNotFound;
}

NET_API_STATUS SimNet::NetLocalGroupGetMembers(LPCWSTR server, LPCWSTR groupName, DWORD level,
                                               LPBYTE* buffer, DWORD preferredLength,
                                               LPDWORD entriesRead, LPDWORD totalEntries,
                                               PDWORD_PTR resumeHandle) {
  log_.Record("NetLocalGroupGetMembers",
              {Arg(server), Arg(groupName), Arg(level), Arg(preferredLength)});
  if (buffer == nullptr || entriesRead == nullptr || totalEntries == nullptr)
    return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  *entriesRead = *totalEntries = 0;
  DWORD status = 0;
  if (Fails("NetLocalGroupGetMembers", &status)) return status;
  NetMachine* m = Target(server, &status);
  if (m == nullptr) return status;
  if (level != 1) return ERROR_INVALID_LEVEL;
  for (const NetLocalGroup& g : m->localGroups) {
    if (groupName == nullptr || !Same(g.name, groupName)) continue;
    const std::size_t start = resumeHandle ? static_cast<std::size_t>(*resumeHandle) : 0;
    const std::size_t n = Take(g.memberSids.size(), start, preferredLength,
                               sizeof(LOCALGROUP_MEMBERS_INFO_1));
    *totalEntries = static_cast<DWORD>(g.memberSids.size());
    if (n == 0) return NERR_Success;
    auto b = std::make_unique<Buffer>();
    auto* r = b->Records<LOCALGROUP_MEMBERS_INFO_1>(n);
    for (std::size_t i = 0; i < n; ++i) {
      const std::wstring& sid = g.memberSids[start + i];
      SidName name;
      if (!ResolveSid(*m, sid, &name)) name = SidName{L"", sid, SidTypeUnknown};
      r[i].lgrmi1_sid = b->Sid(sid);
      r[i].lgrmi1_sidusage = name.use;
      r[i].lgrmi1_name = b->Str(name.name);
    }
    *entriesRead = static_cast<DWORD>(n);
    *buffer = HandOut(std::move(b));
    if (start + n < g.memberSids.size()) {
      if (resumeHandle) *resumeHandle = start + n;
      return ERROR_MORE_DATA;
    }
    if (resumeHandle) *resumeHandle = 0;
    return NERR_Success;
  }
  return ERROR_NO_SUCH_ALIAS;
}

NET_API_STATUS SimNet::NetGroupGetInfo(LPCWSTR server, LPCWSTR groupName, DWORD level,
                                       LPBYTE* buffer) {
  log_.Record("NetGroupGetInfo", {Arg(server), Arg(groupName), Arg(level)});
  if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  DWORD status = 0;
  if (Fails("NetGroupGetInfo", &status)) return status;
  NetMachine* m = Target(server, &status);
  if (m == nullptr) return status;
  if (level != 0 && level != 1) return ERROR_INVALID_LEVEL;
  for (const NetGroup& g : m->groups) {
    if (groupName == nullptr || !Same(g.name, groupName)) continue;
    auto b = std::make_unique<Buffer>();
    if (level == 0) {
      b->Records<GROUP_INFO_0>(1)->grpi0_name = b->Str(g.name);
    } else {
      auto* r = b->Records<GROUP_INFO_1>(1);
      r->grpi1_name = b->Str(g.name);
      r->grpi1_comment = b->Str(g.comment);
    }
    *buffer = HandOut(std::move(b));
    return NERR_Success;
  }
  return NERR_GroupNotFound;
}

NET_API_STATUS SimNet::NetLocalGroupGetInfo(LPCWSTR server, LPCWSTR groupName, DWORD level,
                                            LPBYTE* buffer) {
  log_.Record("NetLocalGroupGetInfo", {Arg(server), Arg(groupName), Arg(level)});
  if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  DWORD status = 0;
  if (Fails("NetLocalGroupGetInfo", &status)) return status;
  NetMachine* m = Target(server, &status);
  if (m == nullptr) return status;
  if (level != 0 && level != 1) return ERROR_INVALID_LEVEL;
  for (const NetLocalGroup& g : m->localGroups) {
    if (groupName == nullptr || !Same(g.name, groupName)) continue;
    auto b = std::make_unique<Buffer>();
    if (level == 0) {
      b->Records<LOCALGROUP_INFO_0>(1)->lgrpi0_name = b->Str(g.name);
    } else {
      auto* r = b->Records<LOCALGROUP_INFO_1>(1);
      r->lgrpi1_name = b->Str(g.name);
      r->lgrpi1_comment = b->Str(g.comment);
    }
    *buffer = HandOut(std::move(b));
    return NERR_Success;
  }
  return ERROR_NO_SUCH_ALIAS;
}

NET_API_STATUS SimNet::NetUserGetInfo(LPCWSTR server, LPCWSTR userName, DWORD level,
                                      LPBYTE* buffer) {
  log_.Record("NetUserGetInfo", {Arg(server), Arg(userName), Arg(level)});
  if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  DWORD status = 0;
  if (Fails("NetUserGetInfo", &status)) return status;
  NetMachine* m = Target(server, &status);
  if (m == nullptr) return status;
  if (level != 0 && level != 2 && level != 3) return ERROR_INVALID_LEVEL;
  for (const NetUser& u : m->users) {
    if (userName == nullptr || !Same(u.name, userName)) continue;
    auto b = std::make_unique<Buffer>();
    if (level == 0) {
      b->Records<USER_INFO_0>(1)->usri0_name = b->Str(u.name);
    } else {
      // Levels 2 and 3 share their first 24 fields; level 3 adds five.
      USER_INFO_2* r;
      if (level == 3) {
        auto* r3 = b->Records<USER_INFO_3>(1);
        r3->usri3_user_id = u.rid;
        r3->usri3_primary_group_id = 513;
        r3->usri3_profile = b->Str(L"");
        r3->usri3_home_dir_drive = b->Str(L"");
        r = reinterpret_cast<USER_INFO_2*>(r3);
      } else {
        r = b->Records<USER_INFO_2>(1);
      }
      r->usri2_name = b->Str(u.name);
      r->usri2_priv = u.priv;
      r->usri2_home_dir = b->Str(L"");
      r->usri2_comment = b->Str(u.comment);
      r->usri2_flags = u.flags;
      r->usri2_script_path = b->Str(L"");
      r->usri2_full_name = b->Str(u.fullName);
      r->usri2_usr_comment = b->Str(L"");
      r->usri2_parms = b->Str(L"");
      r->usri2_workstations = b->Str(L"");
      r->usri2_acct_expires = static_cast<DWORD>(-1);
      r->usri2_max_storage = static_cast<DWORD>(-1);
      r->usri2_units_per_week = 168;
      r->usri2_logon_server = b->Str(L"\\\\*");
    }
    *buffer = HandOut(std::move(b));
    return NERR_Success;
  }
  return NERR_UserNotFound;
}

NET_API_STATUS SimNet::NetGetDCName(LPCWSTR server, LPCWSTR domainName, LPBYTE* buffer) {
  log_.Record("NetGetDCName", {Arg(server), Arg(domainName)});
  if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  DWORD status = 0;
  if (Fails("NetGetDCName", &status)) return status;
  NetMachine* m = Target(server, &status);
  if (m == nullptr) return status;
  const std::wstring name =
      domainName != nullptr && domainName[0] != L'\0' ? std::wstring(domainName) : m->domain;
  NetDomain* d = name.empty() ? nullptr : FindDomain(name);
  if (d == nullptr || Controller(*d) == nullptr) return NERR_DCNotFound;
  auto b = std::make_unique<Buffer>();
  const std::wstring unc = L"\\\\" + d->controller;
  wchar_t* text = b->Records<wchar_t>(unc.size() + 1);
  CopyOut(unc, text);
  *buffer = HandOut(std::move(b));
  return NERR_Success;
}

NET_API_STATUS SimNet::NetDfsEnum(LPWSTR dfsName, DWORD level, DWORD preferredLength,
                                  LPBYTE* buffer, LPDWORD entriesRead, LPDWORD resumeHandle) {
  log_.Record("NetDfsEnum", {Arg(dfsName), Arg(level), Arg(preferredLength)});
  if (buffer == nullptr || entriesRead == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  *entriesRead = 0;
  DWORD status = 0;
  if (Fails("NetDfsEnum", &status)) return status;
  if (dfsName == nullptr) return ERROR_INVALID_PARAMETER;
  auto it = dfs_.find(Upper(dfsName));
  if (it == dfs_.end()) return ERROR_FILE_NOT_FOUND;
  if (level != 3) return ERROR_INVALID_LEVEL;
  const std::vector<DfsEntry>& entries = it->second;
  const std::size_t start = resumeHandle ? *resumeHandle : 0;
  const std::size_t n = Take(entries.size(), start, preferredLength, sizeof(DFS_INFO_3));
  if (n == 0) return ERROR_NO_MORE_ITEMS;
  auto b = std::make_unique<Buffer>();
  auto* r = b->Records<DFS_INFO_3>(n);
  for (std::size_t i = 0; i < n; ++i) {
    const DfsEntry& e = entries[start + i];
    r[i].EntryPath = b->StrOrNull(e.entryPath);
    r[i].Comment = b->Str(e.comment);
    r[i].State = DFS_VOLUME_STATE_OK;
    r[i].NumberOfStorages = static_cast<DWORD>(e.storages.size());
    if (!e.storages.empty()) {
      auto* s = b->Extra<DFS_STORAGE_INFO>(e.storages.size());
      for (std::size_t k = 0; k < e.storages.size(); ++k) {
        s[k].State = DFS_STORAGE_STATE_ONLINE;
        s[k].ServerName = b->Str(e.storages[k].server);
        s[k].ShareName = b->Str(e.storages[k].share);
      }
      r[i].Storage = s;
    }
  }
  *entriesRead = static_cast<DWORD>(n);
  *buffer = HandOut(std::move(b));
  if (resumeHandle) *resumeHandle = static_cast<DWORD>(start + n);
  return NERR_Success;
}

NET_API_STATUS SimNet::NetApiBufferFree(LPVOID buffer) {
  if (buffer == nullptr) return NERR_Success;
  auto it = buffers_.find(buffer);
  if (it == buffers_.end()) {
    // Not handed out by these services, or freed already: a fault of the caller.
    ++badFrees_;
    return ERROR_INVALID_PARAMETER;
  }
  buffers_.erase(it);
  return NERR_Success;
}

// --- Domain controller locator, role and trusts ------------------------------------------

DWORD SimNet::DsGetDcNameW(LPCWSTR computerName, LPCWSTR domainName, GUID* domainGuid,
                           LPCWSTR siteName, ULONG flags, PDOMAIN_CONTROLLER_INFOW* info) {
  log_.Record("DsGetDcNameW", {Arg(computerName), Arg(domainName), Arg(siteName), Hex(flags)});
  if (info == nullptr) return ERROR_INVALID_PARAMETER;
  *info = nullptr;
  DWORD status = 0;
  if (Fails("DsGetDcNameW", &status)) return status;
  if ((flags & DS_RETURN_DNS_NAME) && (flags & DS_RETURN_FLAT_NAME)) return ERROR_INVALID_FLAGS;
  NetMachine* m = Target(computerName, &status);
  if (m == nullptr) return status;
  const std::wstring name =
      domainName != nullptr && domainName[0] != L'\0' ? std::wstring(domainName) : m->domain;
  NetDomain* d = name.empty() ? nullptr : FindDomain(name);
  if (d == nullptr || Controller(*d) == nullptr) return ERROR_NO_SUCH_DOMAIN;
  if ((flags & DS_DIRECTORY_SERVICE_REQUIRED) && !d->directory) return ERROR_NO_SUCH_DOMAIN;
  const bool flat = (flags & DS_RETURN_FLAT_NAME) != 0 || !d->directory;
  std::wstring dcDns = d->controller + L"." + d->dns;
  for (wchar_t& c : dcDns) c = static_cast<wchar_t>(std::towlower(c));
  auto b = std::make_unique<Buffer>();
  auto* r = b->Records<DOMAIN_CONTROLLER_INFOW>(1);
  r->DomainControllerName = b->Str(L"\\\\" + (flat ? Upper(d->controller) : dcDns));
  r->DomainControllerAddress = b->Str(L"\\\\" + Upper(d->controller));
  r->DomainControllerAddressType = DS_NETBIOS_ADDRESS;
  r->DomainName = b->Str(flat ? d->flat : d->dns);
  r->DnsForestName = d->directory ? b->Str(d->dns) : nullptr;
  r->Flags = DS_PDC_FLAG | (d->directory ? DS_DS_FLAG : 0);
  r->DcSiteName = b->Str(L"Default-First-Site-Name");
  r->ClientSiteName = b->Str(L"Default-First-Site-Name");
  *info = reinterpret_cast<PDOMAIN_CONTROLLER_INFOW>(HandOut(std::move(b)));
  return ERROR_SUCCESS;
}

DWORD SimNet::DsRoleGetPrimaryDomainInformation(LPCWSTR server,
                                                DSROLE_PRIMARY_DOMAIN_INFO_LEVEL level,
                                                PBYTE* buffer) {
  log_.Record("DsRoleGetPrimaryDomainInformation", {Arg(server), Arg(static_cast<uint64_t>(level))});
  if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  DWORD status = 0;
  if (Fails("DsRoleGetPrimaryDomainInformation", &status)) return status;
  NetMachine* m = Target(server, &status);
  if (m == nullptr) return status;
  if (level != DsRolePrimaryDomainInfoBasic) return ERROR_INVALID_PARAMETER;
  auto b = std::make_unique<Buffer>();
  auto* r = b->Records<DSROLE_PRIMARY_DOMAIN_INFO_BASIC>(1);
  NetDomain* d = m->domain.empty() ? nullptr : FindDomain(m->domain);
  if (d != nullptr) {
    const bool controller = Same(d->controller, m->name);
    r->MachineRole = controller ? DsRole_RolePrimaryDomainController : DsRole_RoleMemberWorkstation;
    r->Flags = controller && d->directory ? DSROLE_PRIMARY_DS_RUNNING : 0;
    r->DomainNameFlat = b->Str(d->flat);
    r->DomainNameDns = d->directory ? b->Str(d->dns) : nullptr;
    r->DomainForestName = d->directory ? b->Str(d->dns) : nullptr;
  } else {
    r->MachineRole = DsRole_RoleStandaloneWorkstation;
    r->DomainNameFlat = b->StrOrNull(m->workgroup);
  }
  void* base = b->Base();
  roleBuffers_[base] = std::move(b);
  *buffer = static_cast<PBYTE>(base);
  return ERROR_SUCCESS;
}

void SimNet::DsRoleFreeMemory(PVOID buffer) {
  if (buffer == nullptr) return;
  auto it = roleBuffers_.find(buffer);
  if (it == roleBuffers_.end()) {
    ++badFrees_;
    return;
  }
  roleBuffers_.erase(it);
}

DWORD SimNet::DsEnumerateDomainTrustsW(LPWSTR server, ULONG flags, PDS_DOMAIN_TRUSTSW* domains,
                                       PULONG domainCount) {
  log_.Record("DsEnumerateDomainTrustsW", {Arg(server), Hex(flags)});
  if (domains == nullptr || domainCount == nullptr) return ERROR_INVALID_PARAMETER;
  *domains = nullptr;
  *domainCount = 0;
  DWORD status = 0;
  if (Fails("DsEnumerateDomainTrustsW", &status)) return status;
  NetMachine* m = Target(server, &status);
  if (m == nullptr) return status;
  NetDomain* d = m->domain.empty() ? nullptr : FindDomain(m->domain);
  if (d == nullptr || Controller(*d) == nullptr) return ERROR_NO_LOGON_SERVERS;
  std::vector<NetTrust> all;
  all.push_back(NetTrust{true, d->flat, d->dns,
                         DS_DOMAIN_PRIMARY | DS_DOMAIN_IN_FOREST | DS_DOMAIN_TREE_ROOT |
                             DS_DOMAIN_NATIVE_MODE});
  for (const NetTrust& t : d->trusts) all.push_back(t);
  std::vector<const NetTrust*> chosen;
  for (const NetTrust& t : all)
    if (t.flags & flags) chosen.push_back(&t);
  if (chosen.empty()) return ERROR_SUCCESS;
  auto b = std::make_unique<Buffer>();
  auto* r = b->Records<DS_DOMAIN_TRUSTSW>(chosen.size());
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    r[i].NetbiosDomainName = chosen[i]->hasNetbios ? b->Str(chosen[i]->netbios) : nullptr;
    r[i].DnsDomainName = b->StrOrNull(chosen[i]->dns);
    r[i].Flags = chosen[i]->flags;
    r[i].TrustType = 2;
    NetDomain* td = FindDomain(chosen[i]->hasNetbios ? chosen[i]->netbios : chosen[i]->dns);
    NetMachine* dc = td ? FindMachine(td->controller) : nullptr;
    r[i].DomainSid = dc ? b->Sid(dc->accountSid) : nullptr;
  }
  *domainCount = static_cast<ULONG>(chosen.size());
  *domains = reinterpret_cast<PDS_DOMAIN_TRUSTSW>(HandOut(std::move(b)));
  return ERROR_SUCCESS;
}

// --- Account lookups ---------------------------------------------------------------------

BOOL SimNet::LookupAccountNameW(LPCWSTR systemName, LPCWSTR accountName, PSID sid,
                                LPDWORD sidSize, LPWSTR domainName, LPDWORD domainSize,
                                PSID_NAME_USE use) {
  log_.Record("LookupAccountNameW", {Arg(systemName), Arg(accountName),
                                     Arg(sidSize ? *sidSize : 0), Arg(domainSize ? *domainSize : 0)});
  if (FailsWithLastError("LookupAccountNameW")) return FALSE;
  if (accountName == nullptr || sidSize == nullptr || domainSize == nullptr || use == nullptr) {
    system_.SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD status = 0;
  NetMachine* m = Target(systemName, &status);
  if (m == nullptr) {
    system_.SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return FALSE;
  }
  Resolved found;
  if (!ResolveName(*m, accountName, &found)) {
    system_.SetLastError(ERROR_NONE_MAPPED);
    return FALSE;
  }
  const std::vector<BYTE> bytes = SidFromText(found.sid);
  // "LookupAccountNameW/filled" fails only the call that brings buffers.
  if (sid != nullptr && FailsWithLastError("LookupAccountNameW/filled")) return FALSE;
  if (sid == nullptr || *sidSize < bytes.size() || !Fits(found.name.domain, domainSize, domainName)) {
    *sidSize = static_cast<DWORD>(bytes.size());
    *domainSize = static_cast<DWORD>(found.name.domain.size() + 1);
    system_.SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(sid, bytes.data(), bytes.size());
  *sidSize = static_cast<DWORD>(bytes.size());
  CopyOut(found.name.domain, domainName);
  *domainSize = static_cast<DWORD>(found.name.domain.size());
  *use = found.name.use;
  return TRUE;
}

BOOL SimNet::LookupAccountSidW(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD nameSize,
                               LPWSTR domainName, LPDWORD domainSize, PSID_NAME_USE use) {
  const bool valid = sid != nullptr && IsValidSid(sid);
  log_.Record("LookupAccountSidW", {Arg(systemName), valid ? SidToString(sid) : L"(invalid)",
                                    Arg(nameSize ? *nameSize : 0), Arg(domainSize ? *domainSize : 0)});
  if (FailsWithLastError("LookupAccountSidW")) return FALSE;
  if (!valid) {
    system_.SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  if (nameSize == nullptr || domainSize == nullptr || use == nullptr) {
    system_.SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD status = 0;
  NetMachine* m = Target(systemName, &status);
  if (m == nullptr) {
    system_.SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return FALSE;
  }
  SidName found;
  if (!ResolveSid(*m, SidToString(sid), &found)) {
    system_.SetLastError(ERROR_NONE_MAPPED);
    return FALSE;
  }
  // "LookupAccountSidW/filled" fails only the call that brings buffers.
  if (name != nullptr && FailsWithLastError("LookupAccountSidW/filled")) return FALSE;
  if (!Fits(found.name, nameSize, name) || !Fits(found.domain, domainSize, domainName)) {
    *nameSize = static_cast<DWORD>(found.name.size() + 1);
    *domainSize = static_cast<DWORD>(found.domain.size() + 1);
    system_.SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  CopyOut(found.name, name);
  CopyOut(found.domain, domainName);
  *nameSize = static_cast<DWORD>(found.name.size());
  *domainSize = static_cast<DWORD>(found.domain.size());
  *use = found.use;
  return TRUE;
}

// --- SIDs, on the platform's byte layout -------------------------------------------------

BOOL SimNet::IsValidSid(PSID sid) {
  if (sid == nullptr) return FALSE;
  const auto* b = static_cast<const BYTE*>(sid);
  return b[0] == SID_REVISION && b[1] <= SID_MAX_SUB_AUTHORITIES;
}

DWORD SimNet::GetLengthSid(PSID sid) {
  return 8 + 4 * static_cast<DWORD>(static_cast<const BYTE*>(sid)[1]);
}

BOOL SimNet::CopySid(DWORD destinationLength, PSID destination, PSID source) {
  if (FailsWithLastError("CopySid")) return FALSE;
  if (!IsValidSid(source)) {
    system_.SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  const DWORD length = GetLengthSid(source);
  if (destination == nullptr || destinationLength < length) {
    system_.SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memmove(destination, source, length);
  return TRUE;
}

DWORD SimNet::GetSidLengthRequired(UCHAR subAuthorityCount) {
  return 8 + 4 * static_cast<DWORD>(subAuthorityCount);
}

BOOL SimNet::InitializeSid(PSID sid, PSID_IDENTIFIER_AUTHORITY authority, BYTE subAuthorityCount) {
  if (FailsWithLastError("InitializeSid")) return FALSE;
  if (sid == nullptr || authority == nullptr || subAuthorityCount > SID_MAX_SUB_AUTHORITIES) {
    system_.SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto* b = static_cast<BYTE*>(sid);
  b[0] = SID_REVISION;
  b[1] = subAuthorityCount;
  std::memcpy(b + 2, authority->Value, 6);
  return TRUE;
}

PDWORD SimNet::GetSidSubAuthority(PSID sid, DWORD index) {
  return reinterpret_cast<PDWORD>(static_cast<BYTE*>(sid) + 8 + 4 * static_cast<std::size_t>(index));
}

PUCHAR SimNet::GetSidSubAuthorityCount(PSID sid) { return static_cast<PUCHAR>(sid) + 1; }

PSID_IDENTIFIER_AUTHORITY SimNet::GetSidIdentifierAuthority(PSID sid) {
  return reinterpret_cast<PSID_IDENTIFIER_AUTHORITY>(static_cast<BYTE*>(sid) + 2);
}

// --- Network provider --------------------------------------------------------------------

DWORD SimNet::WNetOpenEnumW(DWORD scope, DWORD type, DWORD usage, LPNETRESOURCEW resource,
                            LPHANDLE enumHandle) {
  log_.Record("WNetOpenEnumW", {Arg(scope), Arg(type), Arg(usage),
                                Arg(resource ? resource->lpRemoteName : nullptr)});
  if (enumHandle == nullptr) return ERROR_INVALID_PARAMETER;
  *enumHandle = nullptr;
  DWORD status = 0;
  if (Fails("WNetOpenEnumW", &status)) return status;
  if (scope != RESOURCE_GLOBALNET) return ERROR_NOT_SUPPORTED;
  Enumeration e;
  if (resource == nullptr) {
    for (const ProviderNetwork& n : networks_)
      e.entries.push_back(ResourceEntry{RESOURCEDISPLAYTYPE_NETWORK, RESOURCEUSAGE_CONTAINER,
                                        n.name, n.provider});
  } else {
    bool found = false;
    for (const ProviderNetwork& n : networks_) {
      if (resource->lpRemoteName == nullptr || n.name != resource->lpRemoteName) continue;
      found = true;
      for (const std::wstring& d : n.domains)
        e.entries.push_back(ResourceEntry{RESOURCEDISPLAYTYPE_DOMAIN, RESOURCEUSAGE_CONTAINER, d,
                                          n.provider});
    }
    if (!found) return ERROR_BAD_NETPATH;
  }
  HANDLE h = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x4000 + nextEnum_++));
  enums_[h] = std::move(e);
  *enumHandle = h;
  return NO_ERROR;
}

DWORD SimNet::WNetEnumResourceW(HANDLE enumHandle, LPDWORD count, LPVOID buffer,
                                LPDWORD bufferSize) {
  log_.Record("WNetEnumResourceW", {Arg(count ? *count : 0), Arg(bufferSize ? *bufferSize : 0)});
  DWORD status = 0;
  if (Fails("WNetEnumResourceW", &status)) return status;
  auto it = enums_.find(enumHandle);
  if (it == enums_.end()) return ERROR_INVALID_HANDLE;
  if (count == nullptr || buffer == nullptr || bufferSize == nullptr) return ERROR_INVALID_PARAMETER;
  Enumeration& e = it->second;
  if (e.next >= e.entries.size()) return ERROR_NO_MORE_ITEMS;
  // Records from the start of the buffer, their strings from its end.
  auto* records = static_cast<NETRESOURCEW*>(buffer);
  BYTE* low = static_cast<BYTE*>(buffer);
  BYTE* high = low + *bufferSize;
  DWORD written = 0;
  while (e.next < e.entries.size() && written < *count) {
    const ResourceEntry& entry = e.entries[e.next];
    const std::size_t strings = (entry.remoteName.size() + 1 + entry.provider.size() + 1) * sizeof(wchar_t);
    const std::size_t need = sizeof(NETRESOURCEW) * (written + 1) + strings;
    if (low + need > high) break;
    high -= strings;
    auto* remote = reinterpret_cast<wchar_t*>(high);
    CopyOut(entry.remoteName, remote);
    wchar_t* provider = remote + entry.remoteName.size() + 1;
    CopyOut(entry.provider, provider);
    NETRESOURCEW& r = records[written];
    r = NETRESOURCEW{};
    r.dwScope = RESOURCE_GLOBALNET;
    r.dwType = RESOURCETYPE_ANY;
    r.dwDisplayType = entry.displayType;
    r.dwUsage = entry.usage;
    r.lpRemoteName = remote;
    r.lpProvider = provider;
    low += sizeof(NETRESOURCEW);
    ++written;
    ++e.next;
  }
  if (written == 0) {
    const ResourceEntry& entry = e.entries[e.next];
    *bufferSize = static_cast<DWORD>(sizeof(NETRESOURCEW) +
                                     (entry.remoteName.size() + entry.provider.size() + 2) * sizeof(wchar_t));
    return ERROR_MORE_DATA;
  }
  *count = written;
  return NO_ERROR;
}

DWORD SimNet::WNetCloseEnum(HANDLE enumHandle) {
  log_.Record("WNetCloseEnum");
  return enums_.erase(enumHandle) ? NO_ERROR : ERROR_INVALID_HANDLE;
}

DWORD SimNet::WNetGetProviderNameW(DWORD netType, LPWSTR providerName, LPDWORD bufferSize) {
  log_.Record("WNetGetProviderNameW", {Hex(netType), Arg(bufferSize ? *bufferSize : 0)});
  DWORD status = 0;
  if (Fails("WNetGetProviderNameW", &status)) return status;
  if (bufferSize == nullptr) return ERROR_INVALID_PARAMETER;
  if (netType != WNNC_NET_LANMAN) return ERROR_NO_NETWORK;
  if (!Fits(providerName_, bufferSize, providerName)) {
    *bufferSize = static_cast<DWORD>(providerName_.size() + 1);
    return ERROR_MORE_DATA;
  }
  CopyOut(providerName_, providerName);
  return NO_ERROR;
}

DWORD SimNet::WNetGetConnectionW(LPCWSTR localName, LPWSTR remoteName, LPDWORD length) {
  log_.Record("WNetGetConnectionW", {Arg(localName), Arg(length ? *length : 0)});
  DWORD status = 0;
  if (Fails("WNetGetConnectionW", &status)) return status;
  if (localName == nullptr || length == nullptr) return ERROR_INVALID_PARAMETER;
  auto it = drives_.find(Upper(localName));
  if (it == drives_.end()) return ERROR_NOT_CONNECTED;
  if (!Fits(it->second, length, remoteName)) {
    *length = static_cast<DWORD>(it->second.size() + 1);
    return ERROR_MORE_DATA;
  }
  CopyOut(it->second, remoteName);
  return NO_ERROR;
}

}  // namespace sim
