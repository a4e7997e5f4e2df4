#pragma once
#include <string>
#include <vector>

#include "cli/TimeOfDay.h"
#include "serve/CameraBoard.h"
#include "serve/StoredPass.h"
#include "serve/WebPassSearch.h"

namespace kalvero {

// The pages of the service's web site as HTML text. Every text that comes
// from a pass, a camera or a request is escaped.

std::string SignInPage(const std::string& message);

// The list of passes newest first with the search form; `more` when an
// older page exists. `error` (a bad search) shows above an empty list.
std::string PassListPage(const WebPassSearch& search, const std::vector<StoredPass>& passes, bool more,
                         const std::vector<std::string>& cameras, const std::string& error);

// One pass with its crop, every field, its frames, a plot of its scores and
// the correction form; `message` above it (an error when `isError`), and
// `typed` back in the form when a correction was refused.
std::string PassPage(const StoredPass& pass, const std::string& message, bool isError, const std::string& typed);

struct CameraRow {
    CameraState state;
    long long passesToday = -1;  // -1 when the store could not say
};
std::string CamerasPage(const std::vector<CameraRow>& cameras, TimeOfDay now);

// A page for a refusal or a failure ("No pass 12", "The store is not
// available: ...").
std::string MessagePage(const std::string& title, const std::string& message);

// "2026-12-08T12:34:56.789Z" as shown: "2026-12-08 12:34:56".
std::string ShownTime(const std::string& iso);

}  // namespace kalvero
