// The store's merge of what another program left on disk: a list read from one file, the
// file then changed in place or replaced by arbitrary bytes, and a whole rewrite. Never a
// read past a buffer; the rewrite loads back whole and keeps every record the other file held.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "common/user_interface.h"
#include "platform/device.h"
#include "platform/file.h"
#include "telmio/sms/message_store.h"

namespace fs = std::filesystem;

namespace {

const fs::path& Root() {
    static const fs::path root = [] {
        std::string tmpl = (fs::temp_directory_path() / "kvo-fuzz-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            abort();
        fs::create_directories(fs::path(tmpl) / "fs");
        ce::SetDeviceRoot(tmpl);
        return fs::path(tmpl);
    }();
    return root;
}

std::map<std::u16string, int> Texts(const kvo::CSmsStore::List& list) {
    std::map<std::u16string, int> out;
    for (const auto& m : list)
        if (m->m_nState != kvo::SMS_PURGED)
            ++out[m->m_strNumber + u"\n" + m->m_strText];
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    Root();
    bool replace = data[0] & 1;
    size_t cut = 1 + data[1] % (size - 1);
    std::string first(reinterpret_cast<const char*>(data) + 2, cut > 2 ? cut - 2 : 0);
    std::string second(reinterpret_cast<const char*>(data) + cut, size - cut);

    kvo::CSilentUi ui;
    ce::DeleteFile(u"\\kvo.sms");
    if (!ce::WriteFileAtomic(u"\\kvo.sms", first))
        abort();
    kvo::CSmsStore mine(ui, u"\\");
    mine.LoadStore();
    if (replace) {
        if (!ce::WriteFileAtomic(u"\\kvo.sms", second))
            abort();
    } else {
        ce::File f =
            ce::File::Open(u"\\kvo.sms", ce::GENERIC_WRITE, ce::FILE_SHARE_NONE, ce::OPEN_ALWAYS);
        if (!f || !f.Write(second) || !f.SetEndOfFile())
            abort();
    }
    kvo::CSmsStore::List theirs;
    kvo::CSmsStore::ParseStore(second, theirs);
    if (!mine.SaveStore())
        return 0;

    kvo::CSmsStore check(ui, u"\\");
    if (!check.LoadStore())
        abort();
    std::map<std::u16string, int> after = Texts(check.Messages());
    // A message of the other file may have been changed or purged by this list only when
    // this list knew it; a record it never saw is always kept.
    kvo::CSmsStore::List known;
    kvo::CSmsStore::ParseStore(first, known);
    std::map<std::u16string, int> before = Texts(known);
    for (const auto& [key, n] : Texts(theirs))
        if (after[key] + before[key] < n)
            abort();
    return 0;
}
