#include <arpa/inet.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <deque>
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

// A header value as is when plain ASCII that fits its line, else as
// encoded words of whole UTF-8 characters, one to a folded line, each within
// the 76 characters a header line should keep to.
std::string HeaderText(const std::string& text, std::size_t nameLength) {
  bool ascii = true;
  for (unsigned char c : text) ascii = ascii && c < 128;
  if (ascii && nameLength + 2 + text.size() <= 76) return text;
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t end = std::min(text.size(), i + 42);
    while (end < text.size() && end > i + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + Base64(text.substr(i, end - i)) + "?=";
    i = end;
  }
  return out;
}

// The text's lines, split at CRLF, LF or CR.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

// Quoted-printable: what would not pass as it is becomes =XX, and lines
// longer than 76 characters are broken with a soft "=" the reader removes,
// so the text arrives exactly however long its lines.
std::string QuotedPrintable(const std::vector<std::string>& lines) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (const std::string& line : lines) {
    std::size_t column = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const auto c = static_cast<unsigned char>(line[i]);
      const bool plain = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && i + 1 < line.size());
      const std::string piece =
          plain ? std::string(1, static_cast<char>(c)) : std::string{'=', hex[c >> 4], hex[c & 15]};
      if (column + piece.size() > 75) {
        out += "=\r\n";
        column = 0;
      }
      out += piece;
      column += piece.size();
    }
    out += "\r\n";
  }
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
  std::string data, recipient;
  std::vector<Address> addresses;
  std::size_t sent = 0;
  std::string refusal;  // the server's first reply of a 4xx or 5xx code
  std::string command;  // the last one sent ("EHLO", "MAIL FROM", ...)
  std::string refused;  // the command the refusal answered
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
  std::string authorities;                            // PEM, or empty for the system's
  int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);  // a worker has news
  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  std::mutex mutex;  // guards what follows
  std::deque<std::unique_ptr<Transfer>> queued;
  struct Result {
    std::size_t index;
    bool sent;
    std::string detail;
    Failure failure = Failure::Transient;
  };
  std::vector<Result> results;
  int busy = 0;        // workers not yet ended
  int unreported = 0;  // mails started whose outcome was not yet told
  // Every socket libcurl has open, so that a stop can shut them at once.
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
    if (t->refusal.empty() && (line.starts_with('4') || line.starts_with('5'))) {
      t->refusal = line;
      t->refused = t->command;
    }
  } else if (type == CURLINFO_HEADER_OUT && line != "QUIT") {  // QUIT ends any dialogue
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
  std::lock_guard lock(state->mutex);
  state->sockets.push_back(fd);
  return fd;
}

int CloseSocket(void* user, curl_socket_t fd) {
  auto* state = static_cast<MailSender::State*>(user);
  std::lock_guard lock(state->mutex);
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
             " (the setting Delivery.SmtpCaFile, \"SMTP CA file\" on the settings screen, names a file of the "
             "certificate authorities that may sign the server's certificate)";
    default:
      break;
  }
  std::string out = *t.errorText ? t.errorText : curl_easy_strerror(rc);
  if (!t.refusal.empty()) out += "; the server said: " + t.refusal;
  return out;
}

}  // namespace

std::string ReadOwnFile(const std::string& path, const std::string& what, bool secret, std::size_t maxBytes) {
  // Never through a link, never waiting on a FIFO, never more than maxBytes.
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throw Error(ErrorCode::Failed, "the " + what + " " + path + " cannot be read: " + std::strerror(errno));
  struct stat st {};
  std::string text;
  const mode_t others = secret ? 077 : 022;
  bool fine = fstat(fd, &st) == 0;
  // Root's files are trusted too where nothing secret is read (a system CA
  // file, say).
  const bool owner = st.st_uid == geteuid() || (!secret && st.st_uid == 0);
  fine = fine && S_ISREG(st.st_mode) && owner && (st.st_mode & others) == 0 &&
         static_cast<std::size_t>(st.st_size) <= maxBytes;
  if (fine) {
    char buffer[4096];
    ssize_t n;
    while (fine && (n = read(fd, buffer, sizeof buffer)) != 0) {
      if (n < 0 && errno == EINTR) continue;
      text.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
      fine = n > 0 && text.size() <= maxBytes;
    }
  }
  close(fd);
  if (!fine)
    throw Error(ErrorCode::Failed, "the " + what + " " + path + " is not used: it must be a regular file of yours" +
                                       (secret ? "" : " or root's") + ", at most " + std::to_string(maxBytes >> 10) +
                                       " KiB, that nobody else may " + (secret ? "read or write" : "write"));
  return text;
}

std::string ReadPassword(const DeliverySettings& settings) {
  if (const char* fromEnv = std::getenv("QUILLMONT_SMTP_PASSWORD"); fromEnv && *fromEnv) return fromEnv;
  if (settings.smtpPasswordFile.empty())
    throw Error(ErrorCode::Failed,
                "the SMTP user needs a password: set QUILLMONT_SMTP_PASSWORD or name a password file in the settings");
  const std::string text = ReadOwnFile(settings.smtpPasswordFile, "password file", true, 64 << 10);
  return text.substr(0, text.find_first_of("\r\n"));
}

std::pair<std::string, std::string> MailTexts(const Notification& notification, const Event& event,
                                              const DeliverySettings& settings) {
  if (notification.expanded) return {notification.subject.value_or(""), notification.message.value_or("")};
  auto own = [](const std::optional<std::string>& text, const std::string& otherwise) {
    return rules::IsOwnStoredText(text) ? *text : otherwise;
  };
  return {Expand(own(notification.subject, settings.defaultSubject), notification.name, event),
          Expand(own(notification.message, settings.defaultMessage), notification.name, event)};
}

std::string ComposeMail(const Notification& notification, const std::string& recipient, const Event& event,
                        const DeliverySettings& settings) {
  const auto [subject, message] = MailTexts(notification, event, settings);
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
  mail += "Subject: " + HeaderText(subject, 7) + "\r\n";
  // The outbox's id when there is one: the same on every attempt.
  mail += "Message-ID: <" +
          (notification.deliveryId.empty()
               ? std::to_string(stamp) + "." + std::to_string(getpid()) + "." + std::to_string(++counter)
               : "delivery." + notification.deliveryId) +
          "@" + domain + ">\r\n";
  // Lines as typed unless one is longer than SMTP carries.
  const std::vector<std::string> lines = SplitLines(message);
  const bool longLines = std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return l.size() > 998; });
  mail += "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: ";
  mail += longLines ? "quoted-printable\r\n\r\n" + QuotedPrintable(lines) : "8bit\r\n\r\n";
  if (!longLines)
    for (const std::string& line : lines) mail += line + "\r\n";
  return mail;
}

namespace {

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* state = static_cast<MailSender::State*>(user);
  return state->stop || StopRequested(state->options) ? 1 : 0;
}

// One mail, start to end; what is reported is known before the connection
// is closed (QUIT).
void Send(MailSender::State& state, Transfer& t) {
  const DeliverySettings& settings = state.settings;
  t.started = Clock::now();
  t.curl = curl_easy_init();
  if (!t.curl) {
    std::lock_guard lock(state.mutex);
    state.results.push_back({t.index, false, "not sent: the mail library could not start", Failure::Transient});
    return;
  }
  CURL* curl = t.curl;
  const std::string url = (settings.smtpTls == DeliverySettings::Tls::Implicit ? "smtps://" : "smtp://") + state.server;
  // The name was looked up with the others: libcurl connects to those
  // addresses and still checks the certificate against the name.
  in6_addr numeric{};
  if (inet_pton(AF_INET, settings.smtpServer.c_str(), &numeric) != 1 &&
      inet_pton(AF_INET6, settings.smtpServer.c_str(), &numeric) != 1) {
    std::string entry = settings.smtpServer + ":" + std::to_string(settings.smtpPort) + ":";
    for (std::size_t i = 0; i < t.addresses.size(); ++i) {
      if (i) entry += ',';
      const bool v6 = t.addresses[i].socket.ss_family == AF_INET6;
      if (v6) entry += '[';
      entry += t.addresses[i].text;
      if (v6) entry += ']';
    }
    t.resolve = curl_slist_append(nullptr, entry.c_str());
    curl_easy_setopt(curl, CURLOPT_RESOLVE, t.resolve);
  }
  const std::string from = "<" + settings.mailFrom + ">";
  t.rcpt = curl_slist_append(nullptr, ("<" + t.recipient + ">").c_str());
  const long totalMs = BoundMs(state.options, settings.timeoutSeconds);
  const long connectMs = std::min(totalMs, BoundMs(state.options, settings.connectTimeoutSeconds));
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_QUICK_EXIT, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, totalMs);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, t.errorText);
  curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, OpenSocket);
  curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, &state);
  curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, CloseSocket);
  curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, &state);
  if (settings.smtpTls == DeliverySettings::Tls::StartTls) curl_easy_setopt(curl, CURLOPT_USE_SSL, CURLUSESSL_ALL);
  if (!state.authorities.empty()) {
    // What was checked is what is used: the file's text, not its name.
    curl_blob blob{state.authorities.data(), state.authorities.size(), CURL_BLOB_NOCOPY};
    curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &blob);
  }
  if (!settings.smtpUser.empty()) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, settings.smtpUser.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, state.password.c_str());
  }
  curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, t.rcpt);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadBody);
  curl_easy_setopt(curl, CURLOPT_READDATA, &t);
  curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(t.data.size()));
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, Trace);
  curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &t);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, Progress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &state);
  const CURLcode rc = curl_easy_perform(curl);
  MailSender::State::Result result{t.index, rc == CURLE_OK, "sent",
                                   rc == CURLE_OK ? Failure::None : Failure::Transient};
  const bool cancelled = state.options.cancel && state.options.cancel->load();
  if (rc != CURLE_OK && (state.stop || StopRequested(state.options))) {
    result.detail = cancelled ? "cancelled"
                              : "not sent: the time allowed ran out after " + Seconds(Clock::now() - t.started) + " " +
                                    Where(t, state.server).waiting;
    if (cancelled) result.failure = Failure::Cancelled;
  } else if (rc != CURLE_OK) {
    result.detail = Describe(rc, t, state.server);
    // The server refused this recipient or this message for good; anything
    // else (4xx, a refused login, a connection) may pass.
    if (t.refusal.starts_with('5') && (t.refused == "RCPT TO" || t.refused == "DATA"))
      result.failure = Failure::Permanent;
  }
  {
    std::lock_guard lock(state.mutex);
    state.results.push_back(std::move(result));
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = write(state.wake, &one, sizeof one);
  // Closing sends QUIT: its answer is waited for a second at most.
  curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, 1L);
}

void Work(MailSender::State& state) {
  for (;;) {
    std::unique_ptr<Transfer> t;
    {
      std::lock_guard lock(state.mutex);
      if (state.queued.empty()) {
        --state.busy;
        break;
      }
      t = std::move(state.queued.front());
      state.queued.pop_front();
    }
    Send(state, *t);
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = write(state.wake, &one, sizeof one);
}

// Mails in flight at once: one server takes them all, so not without end.
constexpr int kWorkers = 16;

}  // namespace

MailSender::MailSender(const DeliverySettings& settings, const Options& options, std::string password,
                       std::string authorities)
    : state_(std::make_unique<State>(settings, options, std::move(password))) {
  state_->authorities = std::move(authorities);
  InitOnce();
}

MailSender::~MailSender() {
  Close([](std::size_t, bool, const std::string&, Failure) {}, Clock::now());
  close(state_->wake);
  // The password is not left in memory longer than the sends.
  std::fill(state_->password.begin(), state_->password.end(), '\0');
}

void MailSender::Start(std::size_t index, std::string mail, const std::string& recipient,
                       const std::vector<Address>& addresses, const Finish&) {
  auto t = std::make_unique<Transfer>();
  t->index = index;
  t->data = std::move(mail);
  t->recipient = recipient;
  t->addresses = addresses;
  std::lock_guard lock(state_->mutex);
  state_->queued.push_back(std::move(t));
  ++state_->unreported;
  if (state_->busy < kWorkers) {
    ++state_->busy;
    state_->workers.emplace_back(Work, std::ref(*state_));
  }
}

void MailSender::Perform(const Finish& finish) {
  std::uint64_t count = 0;
  [[maybe_unused]] const auto drained = read(state_->wake, &count, sizeof count);
  std::vector<State::Result> results;
  {
    std::lock_guard lock(state_->mutex);
    results.swap(state_->results);
    state_->unreported -= static_cast<int>(results.size());
  }
  for (const State::Result& r : results) finish(r.index, r.sent, r.detail, r.failure);
}

void MailSender::Wait(const std::vector<int>& extra, int waitMs) {
  std::vector<pollfd> fds{{state_->wake, POLLIN, 0}};
  for (int fd : extra) fds.push_back({fd, POLLIN, 0});
  poll(fds.data(), fds.size(), waitMs);
}

bool MailSender::Reported() const {
  std::lock_guard lock(state_->mutex);
  return state_->unreported == 0;
}

void MailSender::Close(const Finish& finish, Clock::time_point hardStop) {
  State& s = *state_;
  s.stop = true;
  // Workers end by themselves unless a server keeps one waiting (for QUIT's
  // answer, say); at the hard stop their sockets are shut, which ends any
  // wait at once.
  for (;;) {
    {
      std::lock_guard lock(s.mutex);
      if (s.busy == 0) break;
      if (Clock::now() >= hardStop || (s.options.cancel && s.options.cancel->load()))
        for (curl_socket_t fd : s.sockets) {
          shutdown(fd, SHUT_RDWR);
          // A connection still being made is dropped too (shutdown leaves
          // it); there is nothing to do if that fails as well.
          const sockaddr none{AF_UNSPEC, {}};
          (void)connect(fd, &none, sizeof none);
        }
    }
    Wait({}, 20);
  }
  for (std::thread& worker : s.workers) worker.join();
  s.workers.clear();
  Perform(finish);
}

}  // namespace quillmont::delivery
