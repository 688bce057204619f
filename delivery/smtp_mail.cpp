#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>

#include "delivery/internal.h"
#include "quillmont/platform/error.h"
#include "quillmont/services/app_context.h"

namespace quillmont::delivery {
namespace {

[[noreturn]] void Refuse(const std::string& message) { throw Error(ErrorCode::InvalidPropertyValue, message); }

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

std::string Base64(const std::string& bytes) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t v = 0;
    for (std::size_t j = 0; j < 3; ++j) v = v << 8 | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0);
    for (std::size_t j = 0; j < 4; ++j) out += j <= n ? digits[(v >> (18 - 6 * j)) & 63] : '=';
  }
  return out;
}

// A header value as is when plain ASCII, else as encoded words of whole
// UTF-8 characters, each short enough for a header line.
std::string HeaderText(const std::string& text) {
  bool ascii = true;
  for (unsigned char c : text) ascii = ascii && c < 128;
  if (ascii) return text;
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t end = std::min(text.size(), i + 42);
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + Base64(text.substr(i, end - i)) + "?=";
    i = end;
  }
  return out;
}

// Lines end in CRLF, none longer than SMTP allows (split at a character).
std::string BodyText(const std::string& text) {
  std::string out, line;
  auto flush = [&] {
    while (line.size() > 990) {
      std::size_t cut = 990;
      while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
      out += line.substr(0, cut) + "\r\n";
      line.erase(0, cut);
    }
    out += line + "\r\n";
    line.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      flush();
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) flush();
  return out;
}

std::string MailDate(std::chrono::system_clock::time_point time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", days[utc.tm_wday], utc.tm_mday,
                months[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

void InitOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
  std::string data;
  std::size_t sent = 0;
  std::string refusal;  // the server's first reply of a 4xx or 5xx code
  const Options* options = nullptr;
};

std::size_t ReadBody(char* buffer, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const std::size_t n = std::min(size * count, t->data.size() - t->sent);
  // A byte count for libcurl, not a C string: no terminator belongs here.
  std::memcpy(buffer, t->data.data() + t->sent, n);  // NOLINT(bugprone-not-null-terminated-result)
  t->sent += n;
  return n;
}

// Keeps the server's reply that refused, to quote it (the replies that follow,
// such as the one to QUIT, say nothing of why).
int Trace(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
  if (type == CURLINFO_HEADER_IN) {
    std::string line(data, size);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    auto* t = static_cast<Transfer*>(user);
    if (t->refusal.empty() && (line.starts_with('4') || line.starts_with('5'))) t->refusal = line;
  }
  return 0;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return StopRequested(*static_cast<Transfer*>(user)->options) ? 1 : 0;
}

std::string Describe(CURLcode rc, CURL* curl, const Transfer& t, const std::string& server, long timeoutMs,
                     const char* errorText) {
  long osErrno = 0;
  curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
  switch (rc) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return "name not resolved: " + server;
    case CURLE_COULDNT_CONNECT:
      if (osErrno == ECONNREFUSED) return "connection refused by " + server;
      return "could not connect to " + server + (*errorText ? std::string(": ") + errorText : "");
    case CURLE_OPERATION_TIMEDOUT:
      return "timed out after " + std::to_string((timeoutMs + 999) / 1000) + " s talking to " + server;
    case CURLE_ABORTED_BY_CALLBACK:
      return StopReason(*t.options);
    default:
      break;
  }
  std::string out = *errorText ? errorText : curl_easy_strerror(rc);
  if (!t.refusal.empty()) out += "; the server said: " + t.refusal;
  return out;
}

}  // namespace

std::string ReadPassword(const DeliverySettings& settings) {
  if (const char* fromEnv = std::getenv("QUILLMONT_SMTP_PASSWORD"); fromEnv && *fromEnv) return fromEnv;
  if (settings.smtpPasswordFile.empty())
    throw Error(ErrorCode::Failed,
                "the SMTP user needs a password: set QUILLMONT_SMTP_PASSWORD or name a password file in the settings");
  const std::string& path = settings.smtpPasswordFile;
  // Never through a link, never waiting on a FIFO, never more than a password.
  constexpr std::size_t kMaxBytes = 64 << 10;
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throw Error(ErrorCode::Failed, "the password file " + path + " cannot be read: " + std::strerror(errno));
  struct stat st {};
  std::string text;
  bool fine = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0 &&
              static_cast<std::size_t>(st.st_size) <= kMaxBytes;
  if (fine) {
    char buffer[4096];
    ssize_t n;
    while (fine && (n = read(fd, buffer, sizeof buffer)) != 0) {
      if (n < 0 && errno == EINTR) continue;
      text.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
      fine = n > 0 && text.size() <= kMaxBytes;
    }
  }
  close(fd);
  if (!fine)
    throw Error(ErrorCode::Failed, "the password file " + path +
                                       " is not used: it must be a regular file of yours, at most 64 KiB, that nobody "
                                       "else may read or write");
  return text.substr(0, text.find_first_of("\r\n"));
}

std::string ComposeMail(const Notification& notification, const std::string& recipient, const Event& event,
                        const DeliverySettings& settings) {
  auto own = [](const std::optional<std::string>& text) { return text && !text->empty() && *text != "<Default>"; };
  const std::string subject =
      Expand(own(notification.subject) ? *notification.subject : settings.defaultSubject, notification.name, event);
  const std::string message =
      Expand(own(notification.message) ? *notification.message : settings.defaultMessage, notification.name, event);
  if (HasLineBreak(subject)) Refuse("the subject holds a line break (CR or LF), which a mail header cannot carry");
  for (const std::string* address : {&recipient, &settings.mailFrom})
    if (HasLineBreak(*address) || !IsValidEmailAddressText(*address))
      Refuse("\"" + *address + "\" is not a valid e-mail address");
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::duration_cast<std::chrono::microseconds>(event.time.time_since_epoch()).count();
  const std::string domain = settings.mailFrom.substr(settings.mailFrom.rfind('@') + 1);
  std::string mail;
  mail += "Date: " + MailDate(event.time) + "\r\n";
  mail += "From: " + settings.mailFrom + "\r\n";
  mail += "To: " + recipient + "\r\n";
  mail += "Subject: " + HeaderText(subject) + "\r\n";
  mail += "Message-ID: <" + std::to_string(stamp) + "." + std::to_string(getpid()) + "." + std::to_string(++counter) +
          "@" + domain + ">\r\n";
  mail += "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n";
  mail += "\r\n" + BodyText(message);
  return mail;
}

Outcome SendMail(const Notification& notification, const std::string& recipient, const Event& event,
                 const DeliverySettings& settings, const Options& options) {
  Outcome outcome{notification.name, MailDestination(recipient), false, {}};
  Transfer t;
  t.options = &options;
  std::string password;
  try {
    t.data = ComposeMail(notification, recipient, event, settings);
    if (!settings.smtpUser.empty()) password = options.password ? *options.password : ReadPassword(settings);
  } catch (const std::exception& e) {
    outcome.detail = std::string("not sent: ") + e.what();
    return outcome;
  }
  InitOnce();
  CURL* curl = curl_easy_init();
  if (!curl) {
    outcome.detail = "not sent: the mail library could not start";
    return outcome;
  }
  const std::string server = HostPort(settings.smtpServer, settings.smtpPort);
  const std::string url = (settings.smtpTls == DeliverySettings::Tls::Implicit ? "smtps://" : "smtp://") + server;
  const std::string from = "<" + settings.mailFrom + ">";
  curl_slist* rcpt = curl_slist_append(nullptr, ("<" + recipient + ">").c_str());
  const long totalMs = BoundMs(options, settings.timeoutSeconds);
  const long connectMs = std::min(totalMs, BoundMs(options, settings.connectTimeoutSeconds));
  char errorText[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, totalMs);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  if (settings.smtpTls == DeliverySettings::Tls::StartTls) curl_easy_setopt(curl, CURLOPT_USE_SSL, CURLUSESSL_ALL);
  if (!settings.smtpUser.empty()) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, settings.smtpUser.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, password.c_str());
  }
  curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadBody);
  curl_easy_setopt(curl, CURLOPT_READDATA, &t);
  curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(t.data.size()));
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, Trace);
  curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &t);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, Progress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
  const CURLcode rc = curl_easy_perform(curl);
  if (rc == CURLE_OK) {
    outcome.sent = true;
    outcome.detail = "sent";
  } else {
    outcome.detail = Describe(rc, curl, t, server, totalMs, errorText);
  }
  // The password is not left in memory longer than the send.
  std::fill(password.begin(), password.end(), '\0');
  curl_slist_free_all(rcpt);
  curl_easy_cleanup(curl);
  return outcome;
}

}  // namespace quillmont::delivery
