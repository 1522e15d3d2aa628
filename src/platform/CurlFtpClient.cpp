#include "platform/CurlFtpClient.h"

#include <curl/curl.h>

#include <cstring>
#include <mutex>

namespace {
void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t ReplyCallback(char* data, size_t size, size_t count, void* user) {
    size_t n = size * count;
    std::string line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    static_cast<CurlFtpClient*>(user)->OnReplyLine(line);
    return n;
}

struct Source {
    std::string_view bytes;
    size_t pos = 0;
};

size_t ReadCallback(char* buffer, size_t size, size_t count, void* user) {
    auto* src = static_cast<Source*>(user);
    size_t n = std::min(size * count, src->bytes.size() - src->pos);
    std::memcpy(buffer, src->bytes.data() + src->pos, n);
    src->pos += n;
    return n;
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_' || c == '~';
}

std::string PercentEncode(const std::string& s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (IsUnreserved(c)) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

bool ReplyCode(const std::string& line, int& code) {
    if (line.size() < 3) return false;
    for (int i = 0; i < 3; ++i)
        if (line[i] < '0' || line[i] > '9') return false;
    code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    return true;
}

long Seconds(int ms) { return ms <= 0 ? 1 : (ms + 999) / 1000; }
}  // namespace

CurlFtpClient::CurlFtpClient() { GlobalInit(); }

CurlFtpClient::~CurlFtpClient() { Disconnect(); }

void CurlFtpClient::SetTimeLimits(int connectMs, int replyMs) {
    connectMs_ = connectMs;
    replyMs_ = replyMs;
}

bool CurlFtpClient::SplitHost(const std::string& host, std::string& name, int& port) {
    port = 21;
    size_t colon = host.find(':');
    if (!host.empty() && host[0] == '[') {
        // An IPv6 address in brackets, optionally followed by ":port".
        size_t close = host.find(']');
        if (close == std::string::npos) return false;
        name = host.substr(0, close + 1);
        colon = close + 1 < host.size() && host[close + 1] == ':' ? close + 1 : std::string::npos;
        if (colon == std::string::npos && close + 1 != host.size()) return false;
    } else if (colon != std::string::npos && host.find(':', colon + 1) != std::string::npos) {
        name = "[" + host + "]";  // a bare IPv6 address
        return true;
    } else {
        name = host.substr(0, colon);
    }
    if (name.empty()) return false;
    if (colon == std::string::npos) return true;
    std::string p = host.substr(colon + 1);
    if (p.empty() || p.size() > 5) return false;
    int v = 0;
    for (char c : p) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < 1 || v > 65535) return false;
    port = v;
    return true;
}

std::string CurlFtpClient::ActivePortOption(const std::string& externalIp, int portMin, int portMax) {
    // An empty address before ":range" is the address of the control connection.
    std::string none = externalIp.empty() ? "-" : externalIp;
    int lo = portMin, hi = portMax;
    if (lo <= 0 && hi <= 0) return none;
    if (lo <= 0) lo = hi;
    if (hi < lo) hi = lo;
    if (hi > 65535) return none;
    std::string option = externalIp + ":" + std::to_string(lo);
    if (hi != lo) option += "-" + std::to_string(hi);
    return option;
}

void CurlFtpClient::OnReplyLine(const std::string& line) {
    pending_.push_back(line);
    int code = 0, first = 0;
    // A reply ends with a line of its code followed by a blank (or nothing).
    if (ReplyCode(line, code) && (line.size() == 3 || line[3] == ' ') &&
        ReplyCode(pending_.front(), first) && first == code) {
        lastReply_.clear();
        for (size_t i = 0; i < pending_.size(); ++i) {
            if (i) lastReply_ += "\r\n";
            lastReply_ += pending_[i];
        }
        lastCode_ = code;
        pending_.clear();
    }
}

std::string CurlFtpClient::BaseUrl() const {
    std::string name;
    int port = 21;
    SplitHost(host_, name, port);
    return "ftp://" + name + ":" + std::to_string(port) + "/";
}

bool CurlFtpClient::Perform(const std::string& url, bool upload, std::string_view bytes,
                            const std::vector<std::string>& quote) {
    CURL* c = static_cast<CURL*>(curl_);
    curl_easy_reset(c);  // options only: the live connection stays
    char errbuf[CURL_ERROR_SIZE] = {0};
    Source src{bytes, 0};
    curl_slist* commands = nullptr;
    for (const auto& q : quote) commands = curl_slist_append(commands, q.c_str());

    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_USERNAME, user_.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, password_.c_str());
    curl_easy_setopt(c, CURLOPT_PROXY, "");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, ReplyCallback);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectMs_));
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, Seconds(replyMs_));
    curl_easy_setopt(c, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(replyMs_));
    // A data connection that stalls for the reply limit ends the transfer.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, Seconds(replyMs_));
    if (!passive_) {
        std::string option = ActivePortOption(externalIp_, portMin_, portMax_);
        curl_easy_setopt(c, CURLOPT_FTPPORT, option.c_str());  // copied by curl
    }
    if (commands) curl_easy_setopt(c, CURLOPT_QUOTE, commands);
    if (upload) {
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadCallback);
        curl_easy_setopt(c, CURLOPT_READDATA, &src);
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(bytes.size()));
    } else {
        curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    }

    pending_.clear();
    lastReply_.clear();
    lastCode_ = 0;
    CURLcode rc = curl_easy_perform(c);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(c, CURLOPT_QUOTE, nullptr);
    curl_slist_free_all(commands);
    if (rc == CURLE_OK) return true;
    if (lastCode_ >= 400)
        failure_ = lastReply_;
    else
        failure_ = errbuf[0] ? std::string(errbuf) : std::string(curl_easy_strerror(rc));
    return false;
}

bool CurlFtpClient::Connect() {
    failure_.clear();
    std::string name;
    int port;
    if (!SplitHost(host_, name, port)) {
        failure_ = "Ugyldig serveradresse: " + host_;
        return false;
    }
    if (!curl_) curl_ = curl_easy_init();
    if (!curl_) {
        failure_ = "FTP-klienten kunne ikke startes";
        return false;
    }
    return Perform(BaseUrl(), false, {}, {});
}

bool CurlFtpClient::ChangeDir(const std::string& dir) {
    failure_.clear();
    if (!curl_) {
        failure_ = "Ikke tilkoblet";
        return false;
    }
    // "*": curl goes on after any reply; the reply is judged here (200 or 250 only).
    if (!Perform(BaseUrl(), false, {}, {"*CWD " + dir})) return false;
    if (lastCode_ == 200 || lastCode_ == 250) return true;
    failure_ = lastReply_.empty() ? std::string("Intet svar på CWD") : lastReply_;
    return false;
}

bool CurlFtpClient::Put(std::string_view bytes, const std::string& name) {
    failure_.clear();
    if (!curl_) {
        failure_ = "Ikke tilkoblet";
        return false;
    }
    if (name.empty()) {
        failure_ = "Filnavn mangler";
        return false;
    }
    return Perform(BaseUrl() + PercentEncode(name), true, bytes, {});
}

bool CurlFtpClient::Disconnect() {
    if (curl_) {
        curl_easy_cleanup(static_cast<CURL*>(curl_));  // sends QUIT on a live connection
        curl_ = nullptr;
    }
    return true;
}
