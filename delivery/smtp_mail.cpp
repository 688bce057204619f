#include <arpa/inet.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>

#include "delivery/internal.h"
#include "quillmont/platform/error.h"
#include "quillmont/rules/fields.h"

namespace quillmont::delivery {
namespace {

[[noreturn]] void Refuse(const std::string& message) { throw Error(ErrorCode::InvalidPropertyValue, message); }

using rules::HasLineBreak;

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

}  // namespace

// One mail's transfer and what is known of how far it got.
struct Transfer {
  std::size_t index = 0;
  std::string data;
  std::size_t sent = 0;
  std::string refusal;  // the server's first reply of a 4xx or 5xx code
  std::string command;  // the last one sent ("EHLO", "MAIL FROM", ...)
  bool greeted = false, dataAccepted = false;
  Clock::time_point started;
  CURL* curl = nullptr;
  curl_slist* rcpt = nullptr;
  curl_slist* resolve = nullptr;
  char errorText[CURL_ERROR_SIZE] = {};
  ~Transfer() {
    curl_slist_free_all(rcpt);
    curl_slist_free_all(resolve);
    curl_easy_cleanup(curl);
  }
};

struct MailSender::State {
  State(const DeliverySettings& s, const Options& o, std::string p)
      : settings(s), options(o), password(std::move(p)), server(HostPort(s.smtpServer, s.smtpPort)) {}
  const DeliverySettings& settings;
  const Options& options;
  std::string password;
  std::string server;
  CURLM* multi = nullptr;
  std::vector<std::unique_ptr<Transfer>> transfers;
  // Every socket libcurl has open, so that closing can be cut short.
  std::mutex socketsMutex;
  std::vector<curl_socket_t> sockets;
};

namespace {

std::size_t ReadBody(char* buffer, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const std::size_t n = std::min(size * count, t->data.size() - t->sent);
  // A byte count for libcurl, not a C string: no terminator belongs here.
  std::memcpy(buffer, t->data.data() + t->sent, n);  // NOLINT(bugprone-not-null-terminated-result)
  t->sent += n;
  return n;
}

// Follows the dialogue: the replies (the one that refused is quoted; those
// that follow, such as QUIT's, say nothing of why) and the commands (their
// verbs only: AUTH's arguments are secret).
int Trace(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
  auto* t = static_cast<Transfer*>(user);
  std::string line(data, size);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (type == CURLINFO_HEADER_IN) {
    t->greeted = true;
    if (t->command == "DATA" && line.starts_with("354")) t->dataAccepted = true;
    if (t->refusal.empty() && (line.starts_with('4') || line.starts_with('5'))) t->refusal = line;
  } else if (type == CURLINFO_HEADER_OUT) {
    if (line.starts_with("MAIL FROM") || line.starts_with("RCPT TO"))
      t->command = line.substr(0, line.find(':'));
    else
      t->command = line.substr(0, line.find(' '));
  }
  return 0;
}

curl_socket_t OpenSocket(void* user, curlsocktype, curl_sockaddr* address) {
  auto* state = static_cast<MailSender::State*>(user);
  const curl_socket_t fd = socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  if (fd == CURL_SOCKET_BAD) return fd;
  std::lock_guard lock(state->socketsMutex);
  state->sockets.push_back(fd);
  return fd;
}

int CloseSocket(void* user, curl_socket_t fd) {
  auto* state = static_cast<MailSender::State*>(user);
  std::lock_guard lock(state->socketsMutex);
  std::erase(state->sockets, fd);
  return close(fd);
}

// Where the dialogue stood, for "timed out ..." and "... closed the connection".
struct Step {
  std::string waiting;  // "waiting for the answer to RCPT TO"
  std::string point;    // "after RCPT TO"
};

Step Where(const Transfer& t, const std::string& server) {
  if (!t.greeted) {
    curl_off_t connected = 0;
    curl_easy_getinfo(t.curl, CURLINFO_CONNECT_TIME_T, &connected);
    if (connected == 0) return {"connecting to " + server, "while connecting"};
    return {"waiting for the server's greeting", "before its greeting"};
  }
  if (t.dataAccepted && t.sent < t.data.size()) return {"sending the message", "during the message"};
  if (t.dataAccepted) return {"waiting for the answer to the message", "after the whole message"};
  if (t.command.empty()) return {"waiting for the server", "after its greeting"};
  return {"waiting for the answer to " + t.command, "after " + t.command};
}

std::string Describe(CURLcode rc, const Transfer& t, const std::string& server) {
  long osErrno = 0;
  curl_easy_getinfo(t.curl, CURLINFO_OS_ERRNO, &osErrno);
  const Step step = Where(t, server);
  switch (rc) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return "name not resolved: " + server;
    case CURLE_COULDNT_CONNECT:
      if (osErrno == ECONNREFUSED) return "connection refused by " + server;
      return "could not connect to " + server + (*t.errorText ? std::string(": ") + t.errorText : "");
    case CURLE_OPERATION_TIMEDOUT:
      return "timed out after " + Seconds(Clock::now() - t.started) + " " + step.waiting;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
      if (t.refusal.empty() && (osErrno == 0 || osErrno == EINPROGRESS || osErrno == ECONNRESET || osErrno == EPIPE))
        return "the server " + server + " closed the connection (" + step.point + ")";
      break;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
      return std::string(*t.errorText ? t.errorText : curl_easy_strerror(rc)) +
             " (name the certificate authority that signed the server's certificate in the setting "
             "Delivery.SmtpCaFile)";
    default:
      break;
  }
  std::string out = *t.errorText ? t.errorText : curl_easy_strerror(rc);
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
  const std::string subject =
      Expand(rules::IsOwnStoredText(notification.subject) ? *notification.subject : settings.defaultSubject,
             notification.name, event);
  const std::string message =
      Expand(rules::IsOwnStoredText(notification.message) ? *notification.message : settings.defaultMessage,
             notification.name, event);
  if (HasLineBreak(subject)) Refuse("the subject holds a line break (CR or LF), which a mail header cannot carry");
  for (const std::string* address : {&recipient, &settings.mailFrom})
    if (HasLineBreak(*address) || !rules::IsValidEmailAddressText(*address))
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

MailSender::MailSender(const DeliverySettings& settings, const Options& options, std::string password)
    : state_(std::make_unique<State>(settings, options, std::move(password))) {
  InitOnce();
  state_->multi = curl_multi_init();
}

MailSender::~MailSender() {
  if (state_->multi) Close([](std::size_t, bool, const std::string&) {}, Clock::now());
  // The password is not left in memory longer than the sends.
  std::fill(state_->password.begin(), state_->password.end(), '\0');
}

void MailSender::Start(std::size_t index, std::string mail, const std::string& recipient,
                       const std::vector<Address>& addresses, const Finish& finish) {
  const DeliverySettings& settings = state_->settings;
  auto t = std::make_unique<Transfer>();
  t->index = index;
  t->data = std::move(mail);
  t->started = Clock::now();
  t->curl = state_->multi ? curl_easy_init() : nullptr;
  if (!t->curl) {
    finish(index, false, "not sent: the mail library could not start");
    return;
  }
  CURL* curl = t->curl;
  const std::string url =
      (settings.smtpTls == DeliverySettings::Tls::Implicit ? "smtps://" : "smtp://") + state_->server;
  // The name was looked up with the others: libcurl connects to those
  // addresses and still checks the certificate against the name.
  in6_addr numeric{};
  if (inet_pton(AF_INET, settings.smtpServer.c_str(), &numeric) != 1 &&
      inet_pton(AF_INET6, settings.smtpServer.c_str(), &numeric) != 1) {
    std::string entry = settings.smtpServer + ":" + std::to_string(settings.smtpPort) + ":";
    for (std::size_t i = 0; i < addresses.size(); ++i)
      entry += (i ? "," : "") +
               (addresses[i].socket.ss_family == AF_INET6 ? "[" + addresses[i].text + "]" : addresses[i].text);
    t->resolve = curl_slist_append(nullptr, entry.c_str());
    curl_easy_setopt(curl, CURLOPT_RESOLVE, t->resolve);
  }
  const std::string from = "<" + settings.mailFrom + ">";
  t->rcpt = curl_slist_append(nullptr, ("<" + recipient + ">").c_str());
  const long totalMs = BoundMs(state_->options, settings.timeoutSeconds);
  const long connectMs = std::min(totalMs, BoundMs(state_->options, settings.connectTimeoutSeconds));
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_QUICK_EXIT, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, totalMs);
  // Also the bound of the answer to QUIT when a connection is closed.
  curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, std::max(1L, totalMs / 1000));
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, t->errorText);
  curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, OpenSocket);
  curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, state_.get());
  curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, CloseSocket);
  curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, state_.get());
  if (settings.smtpTls == DeliverySettings::Tls::StartTls) curl_easy_setopt(curl, CURLOPT_USE_SSL, CURLUSESSL_ALL);
  if (!settings.smtpUser.empty()) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, settings.smtpUser.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, state_->password.c_str());
  }
  curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, t->rcpt);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadBody);
  curl_easy_setopt(curl, CURLOPT_READDATA, t.get());
  curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(t->data.size()));
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, Trace);
  curl_easy_setopt(curl, CURLOPT_DEBUGDATA, t.get());
  curl_easy_setopt(curl, CURLOPT_PRIVATE, t.get());
  if (curl_multi_add_handle(state_->multi, curl) != CURLM_OK) {
    finish(index, false, "not sent: the mail library could not start");
    return;
  }
  state_->transfers.push_back(std::move(t));
  // The cache keeps every connection until Close: one closed on the way
  // would wait for its QUIT's answer in the middle of the others.
  curl_multi_setopt(state_->multi, CURLMOPT_MAXCONNECTS, static_cast<long>(state_->transfers.size()) + 8);
}

void MailSender::Perform(const Finish& finish) {
  if (!state_->multi) return;
  int running = 0;
  curl_multi_perform(state_->multi, &running);
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(state_->multi, &queued)) {
    if (message->msg != CURLMSG_DONE) continue;
    Transfer* t = nullptr;
    curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &t);
    const CURLcode rc = message->data.result;
    if (rc == CURLE_OK)
      finish(t->index, true, "sent");
    else
      finish(t->index, false, Describe(rc, *t, state_->server));
    curl_multi_remove_handle(state_->multi, t->curl);
    std::erase_if(state_->transfers, [&](const auto& owned) { return owned.get() == t; });
  }
}

void MailSender::Wait(const std::vector<int>& extra, int waitMs) {
  std::vector<curl_waitfd> fds;
  for (int fd : extra) fds.push_back({fd, CURL_WAIT_POLLIN, 0});
  if (state_->multi)
    curl_multi_poll(state_->multi, fds.data(), static_cast<unsigned>(fds.size()), waitMs, nullptr);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
}

bool MailSender::Idle() const { return state_->transfers.empty(); }

void MailSender::Close(const Finish& finish, Clock::time_point hardStop) {
  State& s = *state_;
  if (!s.multi) return;
  const bool cancelled = s.options.cancel && s.options.cancel->load();
  for (const auto& t : s.transfers)
    finish(t->index, false,
           cancelled ? "cancelled"
                     : "not sent: the time allowed ran out after " + Seconds(Clock::now() - t->started) + " " +
                           Where(*t, s.server).waiting);
  // Closing sends QUIT and waits for its answer; a server that never gives
  // it has its sockets shut at the hard stop (or at a cancel), which ends
  // the wait at once.
  std::mutex mutex;
  std::condition_variable wake;
  bool closed = false;
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    while (!closed && Clock::now() < hardStop && !(s.options.cancel && s.options.cancel->load()))
      wake.wait_for(lock, std::chrono::milliseconds(50));
    if (closed) return;
    std::lock_guard socketsLock(s.socketsMutex);
    for (curl_socket_t fd : s.sockets) shutdown(fd, SHUT_RDWR);
  });
  for (const auto& t : s.transfers) curl_multi_remove_handle(s.multi, t->curl);
  s.transfers.clear();
  curl_multi_cleanup(s.multi);
  s.multi = nullptr;
  {
    std::lock_guard lock(mutex);
    closed = true;
  }
  wake.notify_all();
  watchdog.join();
}

}  // namespace quillmont::delivery
