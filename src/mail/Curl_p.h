#pragma once

// libcurl handles of the mail module. Only mail/*.cpp include this header.

#include <curl/curl.h>
#include <memory>

namespace quillmark::mail {

struct CurlDeleter {
    void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
using CurlPtr = std::unique_ptr<CURL, CurlDeleter>;

struct CurlMultiDeleter {
    void operator()(CURLM* multi) const noexcept { curl_multi_cleanup(multi); }
};
using CurlMultiPtr = std::unique_ptr<CURLM, CurlMultiDeleter>;

struct CurlSlistDeleter {
    void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
using CurlSlistPtr = std::unique_ptr<curl_slist, CurlSlistDeleter>;

// A fresh easy handle; initialises libcurl once per process. Throws core::Error when libcurl
// cannot start.
[[nodiscard]] CurlPtr makeCurl();
// A fresh multi handle, which owns the connections its transfers leave open. Throws core::Error.
[[nodiscard]] CurlMultiPtr makeCurlMulti();

} // namespace quillmark::mail
