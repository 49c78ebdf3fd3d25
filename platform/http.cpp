#include "http.h"

#include <curl/curl.h>

#include <mutex>

#include "platform/error.h"
#include "platform/file.h"
#include "platform/text.h"

namespace ce {
namespace {

// libcurl's global set-up is not thread safe; it runs once, before the first handle.
bool GlobalInit() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ok;
}

// The handheld reads in chunks of this size.
constexpr long kChunk = 1024;

struct Transfer {
    File* pFile = nullptr;
    CURL* pCurl = nullptr;
    std::atomic<int64_t>* pReceived = nullptr;
    const std::atomic<bool>* pCancel = nullptr;
    bool bHeadersDone = false;
    bool bNoLength = false;
    bool bWriteFailed = false;
    int64_t nLength = -1;
    int64_t nGot = 0;
};

size_t OnHeader(char* data, size_t size, size_t n, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t bytes = size * n;
    // The empty line ends the header block; a 1xx reply is followed by another one.
    if (bytes <= 2 && (bytes == 0 || data[0] == '\r' || data[0] == '\n'))
        t->bHeadersDone = true;
    return bytes;
}

size_t OnBody(char* data, size_t size, size_t n, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t bytes = size * n;
    if (t->pCancel && t->pCancel->load())
        return 0;
    if (t->nGot == 0 && t->nLength < 0) {
        curl_off_t length = -1;
        curl_easy_getinfo(t->pCurl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length < 0) {
            t->bNoLength = true;
            return 0;
        }
        t->nLength = length;
    }
    // More than announced is as wrong as less.
    if (t->nGot + static_cast<int64_t>(bytes) > t->nLength || !t->pFile->Write(data, bytes)) {
        t->bWriteFailed = true;
        return 0;
    }
    t->nGot += static_cast<int64_t>(bytes);
    if (t->pReceived)
        t->pReceived->store(t->nGot);
    return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    return t->pCancel && t->pCancel->load() ? 1 : 0;
}

struct Easy {
    CURL* p = nullptr;
    curl_slist* headers = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    ~Easy() {
        if (headers)
            curl_slist_free_all(headers);
        if (p)
            curl_easy_cleanup(p);
    }
};

// A handle set up for one request, or a reply saying why there is none.
bool Prepare(Easy& e, const std::string& url, Transfer& t, HttpReply& reply) {
    if (!GlobalInit() || !(e.p = curl_easy_init())) {
        reply.result = HttpResult::OpenFailed;
        reply.strDetail = "cannot start the HTTP client";
        return false;
    }
    t.pCurl = e.p;
    e.headers = curl_slist_append(e.headers, "Pragma: no-cache");
    e.headers = curl_slist_append(e.headers, "Cache-Control: no-cache");
    e.headers = curl_slist_append(e.headers, "Accept: */*");
    bool ok = e.headers && curl_easy_setopt(e.p, CURLOPT_URL, url.c_str()) == CURLE_OK &&
              curl_easy_setopt(e.p, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK;
    if (!ok) {
        reply.result = HttpResult::RequestFailed;
        reply.strDetail = "cannot make a request for " + url;
        return false;
    }
    curl_easy_setopt(e.p, CURLOPT_HTTPHEADER, e.headers);
    curl_easy_setopt(e.p, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(e.p, CURLOPT_USERAGENT, "updater");
    curl_easy_setopt(e.p, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e.p, CURLOPT_ERRORBUFFER, e.error);
    curl_easy_setopt(e.p, CURLOPT_CONNECTTIMEOUT, 30L);
    // A server that stops sending is a broken transfer, not a wait without end.
    curl_easy_setopt(e.p, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e.p, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(e.p, CURLOPT_BUFFERSIZE, kChunk);
    curl_easy_setopt(e.p, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(e.p, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(e.p, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(e.p, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(e.p, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e.p, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(e.p, CURLOPT_XFERINFODATA, &t);
    return true;
}

// Maps what libcurl said onto the step that failed.
void Finish(Easy& e, CURLcode rc, const Transfer& t, HttpReply& reply) {
    curl_easy_getinfo(e.p, CURLINFO_RESPONSE_CODE, &reply.nStatus);
    if (t.nLength >= 0) {
        reply.nLength = t.nLength;
    } else {
        curl_off_t length = -1;
        curl_easy_getinfo(e.p, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        reply.nLength = length;
    }
    reply.strDetail = e.error[0] ? e.error : curl_easy_strerror(rc);
    if (t.pCancel && t.pCancel->load()) {
        reply.result = HttpResult::Cancelled;
        reply.strDetail = "cancelled";
        return;
    }
    switch (rc) {
        case CURLE_OK:
            reply.result = HttpResult::Ok;
            reply.strDetail.clear();
            return;
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            reply.result = HttpResult::RequestFailed;
            return;
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
            reply.result = HttpResult::ConnectFailed;
            return;
        default:
            break;
    }
    if (t.bNoLength) {
        reply.result = HttpResult::NoLength;
        reply.strDetail = "the reply has no content length";
    } else if (!t.bHeadersDone) {
        reply.result =
            rc == CURLE_OPERATION_TIMEDOUT ? HttpResult::ConnectFailed : HttpResult::SendFailed;
    } else {
        reply.result = HttpResult::BodyFailed;
    }
}

}  // namespace

bool ParseHttpServer(std::u16string_view server, std::string& host, uint16_t& port) {
    constexpr std::u16string_view kScheme = u"http://";
    if (server.size() <= kScheme.size() || !EqualsNoCase(server.substr(0, 7), kScheme))
        return false;
    std::u16string_view rest = server.substr(kScheme.size());
    if (!rest.empty() && rest.back() == u'/')
        rest.remove_suffix(1);
    size_t colon = rest.find(u':');
    std::u16string_view name = rest.substr(0, colon);
    if (name.empty())
        return false;
    for (char16_t c : name) {
        bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                  (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'_';
        if (!ok)
            return false;
    }
    uint32_t number = 80;
    if (colon != std::u16string_view::npos) {
        std::u16string_view digits = rest.substr(colon + 1);
        if (digits.empty() || digits.size() > 5)
            return false;
        number = 0;
        for (char16_t c : digits) {
            if (c < u'0' || c > u'9')
                return false;
            number = number * 10 + (c - u'0');
        }
        if (number == 0 || number > 65535)
            return false;
    }
    host = ToUtf8(name);
    port = static_cast<uint16_t>(number);
    return true;
}

HttpReply HttpQueryLength(const std::string& url, const std::atomic<bool>* cancel) {
    HttpReply reply;
    Easy e;
    Transfer t;
    t.pCancel = cancel;
    if (!Prepare(e, url, t, reply))
        return reply;
    curl_easy_setopt(e.p, CURLOPT_NOBODY, 1L);
    Finish(e, curl_easy_perform(e.p), t, reply);
    bool found = reply.nStatus >= 200 && reply.nStatus < 300;
    if (reply.result == HttpResult::Ok && (!found || reply.nLength < 0)) {
        reply.result = HttpResult::NoLength;
        reply.strDetail = !found ? "the server answered " + std::to_string(reply.nStatus)
                                 : "the reply has no content length";
    }
    return reply;
}

HttpReply HttpGetFile(const std::string& url, std::u16string_view path,
                      std::atomic<int64_t>* received, const std::atomic<bool>* cancel) {
    HttpReply reply;
    if (received)
        received->store(0);
    std::u16string part = std::u16string(path) + u"~part";
    File file = File::Create(part);
    if (!file) {
        reply.result = HttpResult::BodyFailed;
        reply.strDetail = "cannot create " + ToUtf8(part) + ": " + GetLastErrorText();
        return reply;
    }
    Easy e;
    Transfer t;
    t.pFile = &file;
    t.pReceived = received;
    t.pCancel = cancel;
    if (Prepare(e, url, t, reply)) {
        Finish(e, curl_easy_perform(e.p), t, reply);
        if (reply.result == HttpResult::Ok && t.nLength < 0) {
            if (reply.nLength < 0) {
                reply.result = HttpResult::NoLength;
                reply.strDetail = "the reply has no content length";
            } else {
                t.nLength = reply.nLength;  // an empty body calls no writer
            }
        }
        if (reply.result == HttpResult::Ok && t.nGot != t.nLength) {
            reply.result = HttpResult::BodyFailed;
            reply.strDetail = "the body ended after " + std::to_string(t.nGot) + " of " +
                              std::to_string(t.nLength) + " bytes";
        }
        if (t.bWriteFailed && reply.result == HttpResult::BodyFailed)
            reply.strDetail = "more bytes than announced, or the file cannot be written";
    }
    bool stored = reply.result == HttpResult::Ok && file.Flush();
    file.Close();
    if (stored && !MoveFile(part, path)) {
        reply.result = HttpResult::BodyFailed;
        reply.strDetail = "cannot store " + ToUtf8(path) + ": " + GetLastErrorText();
        stored = false;
    }
    if (!stored)
        DeleteFile(part);
    return reply;
}

}  // namespace ce
