#include "sms_command.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <ostream>

#include "common/recipients.h"
#include "platform/datetime.h"
#include "platform/device.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "telmio/session/handoff.h"
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
    if (!date.ToSystemTime(t))
        return "0000-00-00 00:00:00";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return buf;
}

// Texts are stored with CR LF line breaks.
std::u16string StoreText(const std::string& utf8) {
    std::u16string in = ce::FromUtf8(utf8), out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == u'\r' && i + 1 < in.size() && in[i + 1] == u'\n')
            continue;
        if (in[i] == u'\n' || in[i] == u'\r')
            out += u"\r\n";
        else
            out += in[i];
    }
    return out;
}

const std::map<std::string, int>& FolderNames() {
    static const std::map<std::string, int> names = {
        {"inbox", FOLDER_INBOX},
        {"outbox", FOLDER_OUTBOX},
        {"sent", FOLDER_SENT},
        {"draft", FOLDER_DRAFT},
        {"templates", FOLDER_TEMPLATES},
        {"recycle", FOLDER_RECYCLE_BIN},
        {"all", -1},
    };
    return names;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

const char kListUsage[] = "usage: kvo sms list [inbox|outbox|sent|draft|templates|recycle|all]\n";
const char kStateCodes[] =
    "state codes: 0 unread, 1 read, 3 sent (found on the phone), 5 outbox, 6 draft,\n"
    "7 template, 8 sent, 9 deleted (Recycle Bin), 10 to be deleted on the phone,\n"
    "11 purged, 12 outbox (flash), 20 in a user folder\n";

// The store of the client, loaded as the client does; false (and said why) when it could
// not be read.
bool LoadForCommand(CSmsStore& store, std::ostream& err) {
    if (store.LoadStore() || store.Loaded())
        return true;
    err << "kvo: the message store " << ce::MapPath(store.StorePath()).string()
        << " could not be read (another program kept it busy, or it is no file); nothing "
           "was changed\n";
    return false;
}

// What a terminal user needs besides the collected texts of a session.
void ExplainSession(CTelmioDoc& doc, const std::u16string& errors, std::ostream& err) {
    if (!doc.StoreLoaded())
        err << "kvo: the message store " << ce::MapPath(doc.Store().StorePath()).string()
            << " could not be read, so no session was started; nothing was changed\n";
    auto has = [&](const char16_t* text) { return errors.find(text) != std::u16string::npos; };
    if (has(u"No connection to mobile phone possible.")) {
        CTelmioDoc::PortProblem p = doc.LastPortProblem();
        if (!p.strPort.empty())
            err << "kvo: " << PortProblemText(p.strPort, p.nError) << "\n";
    }
    if (has(u"Please first stop the Internet connection")) {
        std::string holder = LockHolderText(ce::MapPath(doc.AppDir() + u"kvo.lock"));
        if (!holder.empty())
            err << "kvo: " << holder << "\n";
    }
    if (has(u"Unknown ISP."))
        err << "kvo: the operator is not in the connection database; `kvo settings set smsc "
               "NUMBER` and `kvo settings set own-smsc on` send through your SMS centre "
               "without it\n";
    if (has(u"Save failed."))
        err << "kvo: the message store " << ce::MapPath(doc.Store().StorePath()).string()
            << " could not be written (disk full, or another program kept it busy)\n";
}

bool StartDoc(CTelmioDoc& doc, std::ostream& err) {
    if (doc.OnNewDocument(false))
        return true;
    err << "kvo: the client cannot start on this device: no modem is registered (see "
           "`kvo-device add-modem`)\n";
    return false;
}

int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string folder = args.empty() ? "inbox" : Lower(args[0]);
    auto it = FolderNames().find(folder);
    if (args.size() > 1) {
        err << "kvo sms list: unexpected \"" << args[1] << "\"\n" << kListUsage;
        return kExitUsage;
    }
    if (it == FolderNames().end()) {
        err << "kvo sms list: unknown folder \"" << args[0] << "\"\n" << kListUsage;
        return kExitUsage;
    }
    CTerminalUi ui(err);
    CSmsStore store(ui);
    if (!LoadForCommand(store, err))
        return kExitFailed;
    for (const auto& m : store.Messages()) {
        int f = FolderOfState(m->m_nState);
        if (it->second == -1 ? f == FOLDER_NONE : f != it->second)
            continue;
        out << ListLine(m->m_nState, m->m_strNumber, FormatTime(m->m_time), m->m_strText) << "\n";
    }
    return kExitOk;
}

int RunSync(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "kvo sms sync: unexpected \"" << args[0] << "\"\nusage: kvo sms sync\n";
        return kExitUsage;
    }
    CTerminalUi ui(err);
    CTelmioDoc doc(ui);
    if (!StartDoc(doc, err))
        return kExitFailed;
    doc.SynchronizeSms();
    err << "phone: " << ce::ToUtf8(doc.Phone().m_strName);
    if (!doc.Operator().m_strName.empty())
        err << ", operator: " << ce::ToUtf8(doc.Operator().m_strName);
    err << "\n";
    std::u16string errors = doc.Errors().Take();
    if (errors.empty())
        return kExitOk;
    out << ce::ToUtf8(errors) << "\n";
    ExplainSession(doc, errors, err);
    return kExitFailed;
}

const char kSendUsage[] =
    "usage: kvo sms send [--flash] [--now] [--force] [--group NAME]... RECIPIENTS TEXT\n";

int RunSend(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool flash = false, now = false, force = false;
    std::vector<std::string> rest, groups;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--flash")
            flash = true;
        else if (a == "--now")
            now = true;
        else if (a == "--force")
            force = true;
        else if (a == "--group" && i + 1 < args.size())
            groups.push_back(args[++i]);
        else if (a.size() > 1 && a[0] == '-' && !std::isdigit(static_cast<unsigned char>(a[1])) &&
                 a[1] != '+') {
            err << "kvo sms send: unknown option " << a << "\n" << kSendUsage;
            return kExitUsage;
        } else
            rest.push_back(a);
    }
    if (rest.size() != 2) {
        if (rest.size() > 2)
            err << "kvo sms send: unexpected \"" << rest[2]
                << "\" (quote a text with blanks: \"like this\")\n";
        else
            err << "kvo sms send: " << (rest.empty() ? "RECIPIENTS and TEXT" : "TEXT")
                << " missing\n";
        err << kSendUsage;
        return kExitUsage;
    }
    // A command line may write numbers as people do: "+49 171 123-45", several with ';'.
    // With groups the list may be empty.
    RecipientCheck check = CheckRecipientList(ce::FromUtf8(rest[0]));
    if (!groups.empty() && check.problem == RecipientProblem::empty)
        check.problem = RecipientProblem::none;
    switch (check.problem) {
        case RecipientProblem::none:
            break;
        case RecipientProblem::empty:
            err << "kvo sms send: no recipient in \"" << rest[0] << "\"\n";
            return kExitUsage;
        case RecipientProblem::separator:
            err << "kvo sms send: \"" << ce::ToUtf8(check.bad)
                << "\" is not one number; separate recipients with \";\", as in "
                   "\"0171 111;0172 222\"\n";
            return kExitUsage;
        case RecipientProblem::notANumber:
            err << "kvo sms send: \"" << ce::ToUtf8(check.bad)
                << "\" is not a phone number (digits, at most one \"+\" in front; separate "
                   "recipients with \";\")\n";
            return kExitUsage;
    }
    // The groups' numbers come first, as the recipients dialog builds them.
    std::vector<std::u16string> numbers;
    if (!groups.empty()) {
        std::u16string fromGroups;
        if (!GroupRecipients(groups, fromGroups, err)) return kExitFailed;
        numbers = SplitRecipients(fromGroups);
    }
    numbers.insert(numbers.end(), check.numbers.begin(), check.numbers.end());
    if (numbers.empty()) {
        err << "kvo: the groups and recipients given hold no number\n";
        return kExitFailed;
    }
    std::u16string recipients;
    for (const auto& n : numbers) recipients += (recipients.empty() ? u"" : u";") + n;
    std::u16string text = StoreText(rest[1]);
    // A text the GSM alphabet cannot hold goes as UCS2; --force stays accepted for scripts.
    (void)force;
    CTerminalUi ui(err);
    CTelmioDoc doc(ui);
    if (!StartDoc(doc, err))
        return kExitFailed;
    if (!doc.CanSend(numbers.front(), text, flash)) {
        err << "kvo: the text cannot be sent: " << MessageCount(text)
            << " parts are more than a phone takes (at most 99 parts, " << 99 * 154
            << " characters, or " << 9 * 66 + 90 * 64
            << " with characters outside the GSM alphabet); nothing was queued or sent\n";
        return kExitFailed;
    }
    if (!now) {
        int n = doc.QueueMessage(recipients, text, flash);
        int wanted = static_cast<int>(numbers.size());
        if (n == wanted) {
            out << n << (n == 1 ? " message" : " messages") << " queued in the Outbox\n";
            return kExitOk;
        }
        if (n > 0)
            out << n << " of " << wanted << " messages queued in the Outbox\n";
        err << "kvo: " << (wanted - n) << (wanted - n == 1 ? " message was" : " messages were")
            << " not queued: the message store " << ce::MapPath(doc.Store().StorePath()).string()
            << " could not be written (disk full, or another program kept it busy)\n";
        return kExitFailed;
    }
    std::u16string result = doc.SendNow(recipients, text, flash);
    out << ce::ToUtf8(result) << "\n";
    std::u16string errors = doc.Errors().Take();
    if (!errors.empty())
        err << ce::ToUtf8(errors) << "\n";
    if (result == u"SMS was sent successfully." && errors.empty())
        return kExitOk;
    if (result == u"SMS was sent successfully.") {
        err << "kvo: the message was sent, but it could not be filed in Sent Messages: the "
               "message store "
            << ce::MapPath(doc.Store().StorePath()).string()
            << " could not be written (disk full, or another program kept it busy)\n";
        return kExitFailed;
    }
    ExplainSession(doc, errors, err);
    if (errors.empty()) {
        std::string holder = LockHolderText(ce::MapPath(doc.AppDir() + u"kvo.lock"));
        if (!holder.empty())
            err << "kvo: " << holder << "\n";
    }
    return kExitFailed;
}

// The Outbox in the order `kvo sms list outbox` shows it.
std::vector<CSmsMessage*> Outbox(CSmsStore& store) {
    std::vector<CSmsMessage*> out;
    for (const auto& m : store.Messages())
        if (FolderOfState(m->m_nState) == FOLDER_OUTBOX)
            out.push_back(m.get());
    return out;
}

const char kOutboxUsage[] = "usage: kvo sms outbox [delete N]\n";

int RunOutbox(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && Lower(args[0]) != "delete") {
        err << "kvo sms outbox: unknown command \"" << args[0] << "\"\n" << kOutboxUsage;
        return kExitUsage;
    }
    if (args.size() == 1 || args.size() > 2) {
        err << "kvo sms outbox delete: "
            << (args.size() == 1 ? "N missing" : "unexpected \"" + args[2] + "\"") << "\n"
            << kOutboxUsage;
        return kExitUsage;
    }
    size_t n = 0;
    if (args.size() == 2) {
        const std::string& word = args[1];
        bool digits = !word.empty() && word.size() < 9 &&
                      word.find_first_not_of("0123456789") == std::string::npos;
        n = digits ? std::stoul(word) : 0;
        if (n == 0) {
            err << "kvo sms outbox delete: \"" << word
                << "\" is no message number (1 for the first line of `kvo sms outbox`)\n"
                << kOutboxUsage;
            return kExitUsage;
        }
    }
    CTerminalUi ui(err);
    CSmsStore store(ui);
    if (!LoadForCommand(store, err))
        return kExitFailed;
    std::vector<CSmsMessage*> queued = Outbox(store);
    if (args.empty()) {
        for (size_t i = 0; i < queued.size(); ++i)
            out << (i + 1) << "\t"
                << ListLine(queued[i]->m_nState, queued[i]->m_strNumber,
                            FormatTime(queued[i]->m_time), queued[i]->m_strText)
                << "\n";
        return kExitOk;
    }
    if (n > queued.size()) {
        err << "kvo: there is no message " << n << " in the Outbox (it holds " << queued.size()
            << ")\n";
        return kExitFailed;
    }
    CSmsMessage& msg = *queued[n - 1];
    std::string number = ce::ToUtf8(msg.m_strNumber);
    if (!store.DeleteMessage(msg)) {
        err << "kvo: the message store " << ce::MapPath(store.StorePath()).string()
            << " could not be written; the message stays in the Outbox\n";
        return kExitFailed;
    }
    out << "message " << n << " to " << number << " moved to the Recycle Bin\n";
    return kExitOk;
}

}  // namespace

std::string ListLine(int state, const std::u16string& number, const std::string& time,
                     const std::u16string& text) {
    std::u16string escaped;
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            continue;
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
          std::string("the messages of a folder (any case; default inbox), one a line: state "
                      "code, number, time, text\n  ") +
              kStateCodes,
          RunList}},
        {"send",
         {"sms send [--flash] [--now] [--force] [--group NAME]... RECIPIENTS TEXT",
          "queue a message in the Outbox, or send it at once with --now; RECIPIENTS are "
          "numbers separated by \";\" (may be \"\" with --group, whose numbers come first); "
          "--force is accepted and changes nothing (texts the GSM alphabet cannot hold go as UCS2)",
          RunSend}},
        {"outbox",
         {"sms outbox [delete N]",
          "the queued messages numbered from 1; delete N moves message N to the Recycle Bin "
          "so that no session sends it",
          RunOutbox}},
    };
    return RunSubcommand("kvo sms", table, args, out, err);
}

}  // namespace kvo::cli
