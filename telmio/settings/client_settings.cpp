#include "telmio/settings/client_settings.h"

#include "common/install_dir.h"
#include "platform/file.h"
#include "platform/profile.h"

namespace kvo {
namespace {

constexpr char16_t kSection[] = u"data";
constexpr char16_t kUserPort[] = u"userport";
// Settings files are a few kilobytes; anything far larger is not one.
constexpr int64_t kMaxSettingsFile = 4 << 20;

bool ReadSmallFile(const std::u16string& path, std::string& bytes) {
    ce::File f = ce::File::OpenRead(path);
    if (!f)
        return false;
    int64_t size = f.Size();
    if (size < 0)
        return false;
    bytes.assign(static_cast<size_t>(std::min(size, kMaxSettingsFile)), '\0');
    return f.ReadExact(bytes.data(), bytes.size());
}

}  // namespace

CClientSettings::CClientSettings(std::u16string dir)
    : m_strDir(dir.empty() ? GetInstallDir() : std::move(dir)) {}

bool CClientSettings::LoadSettings() {
    m_strUserPort = ce::GetProfileString(kSection, kUserPort);
    m_bUserPort = !m_strUserPort.empty();

    m_pb = CPbIni{};
    bool ok = true;
    std::string bytes;
    if (!ReadSmallFile(KvoIniPath(), bytes)) {
        m_ini.ApplyDefaults();
    } else {
        ok = ParseKvoIni(bytes, m_ini) != IniLoad::failed;
    }
    if (ReadSmallFile(PbIniPath(), bytes))
        ParsePbIni(bytes, m_pb);
    return ok;
}

bool CClientSettings::SaveSettings() {
    // Replaced whole so that a crash never leaves connect a half-written shared file.
    if (!ce::WriteFileAtomic(KvoIniPath(), FormatKvoIni(m_ini)))
        return false;
    m_ini.m_strDetectionText.clear();
    bool ok = ce::WriteProfileString(kSection, kUserPort, m_bUserPort ? m_strUserPort : u"");
    return ce::WriteFileAtomic(PbIniPath(), FormatPbIni(m_pb)) && ok;
}

}  // namespace kvo
