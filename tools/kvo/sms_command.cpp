#include "sms_command.h"

#include <cstdio>
#include <map>
#include <ostream>

#include "common/recipients.h"
#include "platform/datetime.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "telmio/session/telmio_doc.h"
#include "telmio/settings/options_rules.h"
#include "telmio/sms/sms_folders.h"
#include "tools/kvo/commands.h"
#include "tools/kvo/groups_command.h"
#include "tools/kvo/terminal_ui.h"

namespace kvo::cli {
namespace {

std::string FormatTime(const ce::OleDate& date) {
    ce::SYSTEMTIME t{};
    if (!date.ToSystemTime(t)) return "0000-00-00 00:00:00";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return buf;
}

// Texts are stored with CR LF line breaks.
std::u16string StoreText(const std::string& utf8) {
    std::u16string in = ce::FromUtf8(utf8), out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == u'\r' && i + 1 < in.size() && in[i + 1] == u'\n') continue;
        if (in[i] == u'\n' || in[i] == u'\r')
            out += u"\r\n";
        else
            out += in[i];
    }
    return out;
}

const std::map<std::string, int>& FolderNames() {
    static const std::map<std::string, int> names = {
        {"inbox", FOLDER_INBOX},         {"outbox", FOLDER_OUTBOX},
        {"sent", FOLDER_SENT},           {"draft", FOLDER_DRAFT},
        {"templates", FOLDER_TEMPLATES}, {"recycle", FOLDER_RECYCLE_BIN},
        {"all", -1},
    };
    return names;
}

int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string folder = args.empty() ? "inbox" : args[0];
    auto it = FolderNames().find(folder);
    if (args.size() > 1 || it == FolderNames().end()) {
        err << "usage: kvo sms list [inbox|outbox|sent|draft|templates|recycle|all]\n";
        return kExitUsage;
    }
    CTerminalUi ui(err);
    CSmsStore store(ui);
    store.LoadStore();
    for (const auto& m : store.Messages()) {
        int f = FolderOfState(m->m_nState);
        if (it->second == -1 ? f == FOLDER_NONE : f != it->second) continue;
        out << ListLine(m->m_nState, m->m_strNumber, FormatTime(m->m_time), m->m_strText) << "\n";
    }
    return kExitOk;
}

int RunSync(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "usage: kvo sms sync\n";
        return kExitUsage;
    }
    CTerminalUi ui(err);
    CTelmioDoc doc(ui);
    if (!doc.OnNewDocument(false)) {
        err << "kvo: the client cannot start on this device\n";
        return kExitFailed;
    }
    doc.SynchronizeSms();
    err << "phone: " << ce::ToUtf8(doc.Phone().m_strName);
    if (!doc.Operator().m_strName.empty()) err << ", operator: " << ce::ToUtf8(doc.Operator().m_strName);
    err << "\n";
    std::u16string errors = doc.Errors().Take();
    if (errors.empty()) return kExitOk;
    out << ce::ToUtf8(errors) << "\n";
    return kExitFailed;
}

int RunSend(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool flash = false, now = false;
    std::vector<std::string> rest, groups;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--flash")
            flash = true;
        else if (a == "--now")
            now = true;
        else if (a == "--group" && i + 1 < args.size())
            groups.push_back(args[++i]);
        else
            rest.push_back(a);
    }
    if (rest.size() != 2) {
        err << "usage: kvo sms send [--flash] [--now] RECIPIENTS TEXT [--group NAME]...\n";
        return kExitUsage;
    }
    // A command line may write numbers as people do: "+49 171 123-45".
    std::u16string recipients = CleanRecipients(ce::FromUtf8(rest[0]));
    // The groups' numbers come first, as the recipients dialog builds them.
    std::u16string fromGroups;
    if (!groups.empty() && !GroupRecipients(groups, fromGroups, err)) return kExitFailed;
    if (!fromGroups.empty()) recipients = recipients.empty() ? fromGroups : fromGroups + u";" + recipients;
    if (SplitRecipients(recipients).empty() && !groups.empty()) {
        err << "kvo: the groups and recipients given hold no number\n";
        return kExitFailed;
    }
    if (SplitRecipients(recipients).empty()) {
        err << "kvo: no recipient in \"" << rest[0] << "\"\n";
        return kExitUsage;
    }
    CTerminalUi ui(err);
    CTelmioDoc doc(ui);
    if (!doc.OnNewDocument(false)) {
        err << "kvo: the client cannot start on this device\n";
        return kExitFailed;
    }
    std::u16string text = StoreText(rest[1]);
    if (!now) {
        int n = doc.QueueMessage(recipients, text, flash);
        out << n << (n == 1 ? " message" : " messages") << " queued in the Outbox\n";
        return kExitOk;
    }
    std::u16string result = doc.SendNow(recipients, text, flash);
    out << ce::ToUtf8(result) << "\n";
    std::u16string errors = doc.Errors().Take();
    if (!errors.empty()) err << ce::ToUtf8(errors) << "\n";
    return result == u"SMS was sent successfully." ? kExitOk : kExitFailed;
}

}  // namespace

std::string ListLine(int state, const std::u16string& number, const std::string& time,
                     const std::u16string& text) {
    std::u16string escaped;
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
        if (c == u'\n' || c == u'\r')
            escaped += u"\\n";
        else if (c == u'\t')
            escaped += u"\\t";
        else if (c == u'\\')
            escaped += u"\\\\";
        else
            escaped += c;
    }
    return std::to_string(state) + "\t" + ce::ToUtf8(number) + "\t" + time + "\t" +
           ce::ToUtf8(escaped);
}

int RunSms(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ce::SetAppName(u"telmio");  // the client's profile holds "userport"
    static const std::map<std::string, Command> table = {
        {"sync", {"sms sync", "one synchronisation session with the phone", RunSync}},
        {"list",
         {"sms list [inbox|outbox|sent|draft|templates|recycle|all]",
          "the messages of a folder: state, number, time, text", RunList}},
        {"send",
         {"sms send [--flash] [--now] RECIPIENTS TEXT [--group NAME]...",
          "queue a message in the Outbox, or send it at once with --now", RunSend}},
    };
    return RunSubcommand("kvo sms", table, args, out, err);
}

}  // namespace kvo::cli
