#include "platform/http_download.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/file_actions.h"
#include "util/fd_io.h"

namespace morvane {
namespace {

struct Sink {
  int fd = -1;
  bool failed = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  Sink& sink = *static_cast<Sink*>(user);
  const size_t total = size * count;
  if (!WriteFully(sink.fd, data, total)) {
    sink.failed = true;
    return 0;  // makes the transfer fail with a write error
  }
  return total;
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

void DownloadToFile(const DriveTable& drives, std::string_view url, std::string_view path) {
  const HostResolution resolved = drives.Resolve(path, PathAccess::kWrite);
  const std::optional<std::string>& host = resolved.host;
  auto file_error = [&](int error) {
    throw FileError("Cannot create file \"" + std::string(path) + "\". " + std::strerror(error));
  };
  if (!host) file_error(RefusalErrno(resolved.refusal));
  Sink sink;
  sink.fd = open(host->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (sink.fd < 0) file_error(errno);

  GlobalInit();
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(
      curl_slist_append(nullptr, "Cache-Control: no-cache"), curl_slist_free_all);
  if (!curl || !headers) {
    close(sink.fd);
    throw HttpError("Out of memory");
  }
  char message[CURL_ERROR_SIZE] = {};
  const std::string address(url);
  CURL* handle = curl.get();
  curl_easy_setopt(handle, CURLOPT_URL, address.c_str());
  curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, message);
  curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 30L);
  // A script fetches from the network, never files of the host behind the
  // drive table's back.
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  const CURLcode result = curl_easy_perform(handle);
  const bool closed = close(sink.fd) == 0;
  if (result != CURLE_OK) {
    throw HttpError(message[0] ? std::string(message) : std::string(curl_easy_strerror(result)));
  }
  if (!closed || sink.failed) throw HttpError(curl_easy_strerror(CURLE_WRITE_ERROR));
}

}  // namespace morvane
