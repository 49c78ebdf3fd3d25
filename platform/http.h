// HTTP GET and content-length queries for the updater, on libcurl. Every request is
// HTTP/1.0, bypasses caches and carries the agent "updater"; proxies come from the usual
// environment variables, as the handheld takes the system's preconfigured ones. Calls may run
// on any thread at once: each makes its own connection and shares nothing.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace ce {

// The step at which a request failed, in the order the handheld's client takes them.
enum class HttpResult {
    Ok,
    OpenFailed,     // no client session could be made
    ConnectFailed,  // the host could not be reached or did not answer
    RequestFailed,  // the request could not be made (a malformed address)
    SendFailed,     // the connection broke before a reply came
    NoLength,       // the reply has no content length, or the server refused the object
    BodyFailed,     // the body ended short of its length, broke off, or could not be stored
    Cancelled,
};

struct HttpReply {
    HttpResult result = HttpResult::Ok;
    long nStatus = 0;       // the HTTP status, 0 when none came
    int64_t nLength = -1;   // the content length, -1 when the reply had none
    std::string strDetail;  // why it failed, for logs and terminals
};

// Splits "http://HOST[:PORT]" (a trailing "/" allowed); false for anything else.
bool ParseHttpServer(std::u16string_view server, std::string& host, uint16_t& port);

// The content length of an object without reading its body (HEAD). A reply without a length
// or with a status other than 2xx fails with NoLength: a size of 0 is never made up.
HttpReply HttpQueryLength(const std::string& url, const std::atomic<bool>* cancel = nullptr);

// GETs an object into the handheld file `path`. The body goes to a file beside it first and
// replaces `path` only when exactly the announced number of bytes arrived, so a failed
// transfer leaves whatever was there. `received` counts the bytes so far for a progress bar;
// `cancel` is tested between chunks. Other statuses than 2xx (404, 301 ...) are returned as
// read (their body stored) with nStatus telling them apart: callers decide what an error page
// means.
HttpReply HttpGetFile(const std::string& url, std::u16string_view path,
                      std::atomic<int64_t>* received = nullptr,
                      const std::atomic<bool>* cancel = nullptr);

}  // namespace ce
