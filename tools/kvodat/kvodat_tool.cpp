#include "tools/kvodat/kvodat_tool.h"

#include <exception>
#include <ostream>
#include <sstream>

#include "connect/data/data_reader.h"
#include "platform/text.h"
#include "tools/kvodat/host_file.h"
#include "tools/kvodat/provider_records.h"
#include "tools/kvodat/service_providers.h"

namespace kvo::kvodat {
namespace {

using connect::CConnectionData;
using connect::CDataLoadResult;
using connect::EDataReader;

WriteCall g_writeCall;

constexpr const char* kUsage =
    "usage: kvodat pack [--force] SOURCE OUT   scramble the plain-text database into a data file\n"
    "       kvodat unpack IN OUT              unscramble a data file into plain text\n"
    "       kvodat check [--as connect|telmio] [--plain] FILE\n"
    "                                         parse as that program does (connect by default)\n"
    "       kvodat dump [--plain] FILE        list every record\n"
    "       kvodat import-providers [--merge SOURCE] [--out FILE] XML\n"
    "                                         database source from a serviceproviders.xml,\n"
    "                                         joined with the records of SOURCE\n"
    "pack refuses a source that does not parse unless --force is given; --plain reads\n"
    "unscrambled text. Exit: 0 ok, 1 unreadable or invalid file, 2 usage error.\n";

bool ReadHost(const std::string& path, std::string& bytes, std::ostream& err) {
    std::string error;
    if (ReadHostFile(path, bytes, error)) return true;
    err << "kvodat: " << error << "\n";
    return false;
}

bool WriteHost(const std::string& path, const std::string& bytes, std::ostream& err) {
    std::string error;
    if (WriteHostFileAtomic(path, bytes, error, g_writeCall)) return true;
    err << "kvodat: " << error << "\n";
    return false;
}

int Usage(std::ostream& err) {
    err << kUsage;
    return 2;
}

std::string U8(std::u16string_view s) { return ce::ToUtf8(s); }

std::string Quad(const connect::IpAddress& a) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

// A failure in words: the program's own message, or what happened when it shows none.
std::string Describe(const CDataLoadResult& r) {
    std::u16string m = r.Message();
    if (!m.empty()) return U8(m);
    if (r.m_error == connect::EDataError::ProfileHeaderEnd)
        return "load failed without a message (end of text in the modem-profile header)";
    return "load failed";
}

// Loads FILE (scrambled unless plain); prints the failure and returns false.
bool Load(const std::string& path, bool plain, EDataReader reader, CConnectionData& data,
          std::ostream& out, std::ostream& err, int& rc) {
    std::string bytes;
    if (!ReadHost(path, bytes, err)) {
        rc = 1;
        return false;
    }
    if (!plain) connect::ScrambleDataFile(bytes);
    CDataLoadResult r = connect::ParseConnectionData(connect::DataFileText(bytes), reader, data);
    if (!r.Ok()) {
        out << Describe(r) << "\n";
        rc = 1;
        return false;
    }
    return true;
}

int Pack(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
    bool force = false;
    std::vector<std::string> files;
    for (const auto& s : a) {
        if (s == "--force") force = true;
        else if (s.starts_with("--")) return Usage(err);
        else files.push_back(s);
    }
    if (files.size() != 2) return Usage(err);
    std::string bytes;
    if (!ReadHost(files[0], bytes, err)) return 1;
    if (!force) {
        CConnectionData data;
        CDataLoadResult r =
            connect::ParseConnectionData(connect::DataFileText(bytes), EDataReader::Connect, data);
        if (!r.Ok()) {
            err << "kvodat: " << files[0] << ": " << Describe(r) << "\n";
            return 1;
        }
    }
    connect::ScrambleDataFile(bytes);
    if (!WriteHost(files[1], bytes, err)) return 1;
    (void)out;
    return 0;
}

int Unpack(const std::vector<std::string>& a, std::ostream&, std::ostream& err) {
    if (a.size() != 2 || a[0].starts_with("--") || a[1].starts_with("--")) return Usage(err);
    std::string bytes;
    if (!ReadHost(a[0], bytes, err)) return 1;
    connect::ScrambleDataFile(bytes);
    if (!WriteHost(a[1], bytes, err)) return 1;
    return 0;
}

// Parses the options of check and dump.
bool FileOptions(const std::vector<std::string>& a, bool allowAs, EDataReader& reader,
                 bool& plain, std::string& file) {
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--plain") {
            plain = true;
        } else if (allowAs && a[i] == "--as" && i + 1 < a.size()) {
            const std::string& v = a[++i];
            if (v == "connect") reader = EDataReader::Connect;
            else if (v == "telmio") reader = EDataReader::Telmio;
            else return false;
        } else if (a[i].starts_with("--") || !file.empty()) {
            return false;
        } else {
            file = a[i];
        }
    }
    return !file.empty();
}

int Check(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
    EDataReader reader = EDataReader::Connect;
    bool plain = false;
    std::string file;
    if (!FileOptions(a, true, reader, plain, file)) return Usage(err);
    CConnectionData data;
    int rc = 0;
    if (!Load(file, plain, reader, data, out, err, rc)) return rc;
    out << "phones " << data.Phones().size() << ", operators " << data.Isps().size()
        << ", modem profiles " << data.Profiles().size() << "\n";
    return 0;
}

void Line(std::ostream& out, const char* label, std::u16string_view value) {
    out << "    " << label << ": " << U8(value) << "\n";
}

int Dump(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
    EDataReader reader = EDataReader::Connect;
    bool plain = false;
    std::string file;
    if (!FileOptions(a, false, reader, plain, file)) return Usage(err);
    CConnectionData data;
    int rc = 0;
    if (!Load(file, plain, reader, data, out, err, rc)) return rc;
    out << "phones (" << data.Phones().size() << ")\n";
    int i = 0;
    for (const auto& p : data.Phones()) {
        out << "  " << ++i << ". " << U8(p->m_strName) << "\n";
        out << "    serial: " << p->m_nBaudRate << " bit/s, " << p->m_nDataBits
            << " data bits, parity " << p->m_nParity << ", stop bits " << p->m_nStopBits
            << ", modem options " << p->m_nModemOptions << "\n";
        Line(out, "maker id (AT+CGMI)", p->m_strMakerId);
        Line(out, "model id (AT+CGMM)", p->m_strModelId);
        Line(out, "GSM init", p->m_strGsmInit);
        Line(out, "GSM init (alt)", p->m_strGsmInitAlt);
        Line(out, "HSCSD init", p->m_strHscsdInit);
        Line(out, "HSCSD init (alt)", p->m_strHscsdInitAlt);
        Line(out, "GPRS init", p->m_strGprsInit);
        Line(out, "GPRS number", p->m_strGprsNumber);
        out << "    memory fallback: " << p->m_nMemoryFallback
            << ", field 17 empty: " << (p->m_bField17Empty ? "yes" : "no") << "\n";
        Line(out, "field 18", p->m_strField18);
        Line(out, "field 19", p->m_strField19);
    }
    out << "operators (" << data.Isps().size() << ")\n";
    i = 0;
    for (const auto& e : data.Isps()) {
        out << "  " << ++i << ". " << U8(e->m_strName) << "\n";
        out << "    dial: country " << U8(e->m_strCountryCode) << ", area "
            << U8(e->m_strAreaCode) << ", number " << U8(e->m_strDialNumber) << "\n";
        Line(out, "APN", e->m_strApn);
        out << "    name servers: " << Quad(e->m_dnsPrimary) << ", " << Quad(e->m_dnsSecondary)
            << "\n";
        out << "    network names:";
        for (const auto& n : e->m_strOperator)
            if (!n.empty()) out << " \"" << U8(n) << "\"";
        out << "\n";
        Line(out, "service centre", e->m_strSmsCentre);
        Line(out, "user", e->m_strUser);
        Line(out, "password", e->m_strPassword);
        out << "    CSD " << (e->m_bCsdAllowed ? "yes" : "no") << ", GPRS "
            << (e->m_bGprsAllowed ? "yes" : "no") << ", software compression "
            << (e->m_bSwCompression ? "yes" : "no") << ", header compression "
            << (e->m_bHeaderCompression ? "yes" : "no") << "\n";
    }
    out << "modem profiles (" << data.Profiles().size() << ")\n";
    i = 0;
    for (const auto& m : data.Profiles()) {
        out << "  " << ++i << ". " << U8(m->m_strLineName) << "\n";
        Line(out, "port", m->m_strPort);
        out << "    phone: "
            << (m->m_pPhone ? U8(m->m_pPhone->m_strName)
                            : (m->m_strMakerId.empty() ? std::string("none")
                                                       : "none matches " + U8(m->m_strMakerId) +
                                                             " / " + U8(m->m_strModelId)))
            << "\n";
        Line(out, "init template", m->m_strInitTemplate);
    }
    return 0;
}

// Warnings quote the list's text: control characters in it must not reach the terminal.
std::string Printable(const std::string& s) {
    std::string out;
    for (char c : s) out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    return out;
}

int ImportProviders(const std::vector<std::string>& a, std::ostream& out, std::ostream& err) {
    std::string xmlPath, mergePath, outPath;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--merge" && i + 1 < a.size()) mergePath = a[++i];
        else if (a[i] == "--out" && i + 1 < a.size()) outPath = a[++i];
        else if (a[i].starts_with("--") || !xmlPath.empty()) return Usage(err);
        else xmlPath = a[i];
    }
    if (xmlPath.empty()) return Usage(err);
    std::string xml, curated;
    if (!ReadHost(xmlPath, xml, err)) return 1;
    if (!mergePath.empty() && !ReadHost(mergePath, curated, err)) return 1;
    std::vector<CProvider> providers;
    std::vector<std::string> warnings;
    std::string error;
    if (!ReadServiceProviders(xml, providers, warnings, error)) {
        err << "kvodat: " << xmlPath << ": " << Printable(error) << "\n";
        return 1;
    }
    CImportResult result;
    if (!BuildDatabaseSource(providers, curated, result, error)) {
        err << "kvodat: " << mergePath << ": " << error << "\n";
        return 1;
    }
    for (const auto& w : warnings) err << "kvodat: " << xmlPath << ": " << Printable(w) << "\n";
    for (const auto& w : result.m_warnings)
        err << "kvodat: " << xmlPath << ": " << Printable(w) << "\n";
    // What is written must load in both programs, whatever the list held.
    for (EDataReader reader : {EDataReader::Connect, EDataReader::Telmio}) {
        CConnectionData data;
        CDataLoadResult r = connect::ParseConnectionData(
            connect::DataFileText(result.m_strSource), reader, data);
        if (!r.Ok()) {
            err << "kvodat: the imported records do not load: " << Describe(r) << "\n";
            return 1;
        }
    }
    if (outPath.empty()) out << result.m_strSource;
    else if (!WriteHost(outPath, result.m_strSource, err)) return 1;
    err << "kvodat: " << result.m_nImported << " operators from " << result.m_nProviders
        << " providers of " << xmlPath << ", " << result.m_nCurated << " of our own ("
        << result.m_nJoined << " joined with the list), " << result.m_nSkipped
        << " left out\n";
    return 0;
}

}  // namespace

void SetWriteCallForTest(WriteCall call) { g_writeCall = std::move(call); }

namespace {

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) return Usage(err);
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        out << kUsage;
        return 0;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const auto& a : rest) {
        if (a == "--help" || a == "-h") {
            out << kUsage;
            return 0;
        }
    }
    if (args[0] == "pack") return Pack(rest, out, err);
    if (args[0] == "unpack") return Unpack(rest, out, err);
    if (args[0] == "check") return Check(rest, out, err);
    if (args[0] == "dump") return Dump(rest, out, err);
    if (args[0] == "import-providers") return ImportProviders(rest, out, err);
    return Usage(err);
}

}  // namespace

int Main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // A failure nobody foresaw still ends as a failed command with a message, not an abort.
    try {
        return Run(args, out, err);
    } catch (const std::bad_alloc&) {
        err << "kvodat: out of memory\n";
    } catch (const std::exception& e) {
        err << "kvodat: " << e.what() << "\n";
    }
    return 1;
}

}  // namespace kvo::kvodat
