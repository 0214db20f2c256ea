#pragma once
// /api/v1/live: Server-Sent Events for one client. Its connection's thread
// waits on the hub for what is new and writes it: an "levels" message with
// the status JSON ten times a second, a "log" message for every event line
// (the last few at the start), and a comment after a quiet second so
// proxies keep the stream open. Each message of levels carries the time
// the program's thread published it ("published", Unix milliseconds).

struct MHD_Response;

namespace varn {

class LiveHub;

inline constexpr int kLiveBacklogEvents = 20;

// A response streaming from `hub` until the client goes or the hub stops.
MHD_Response* LiveStreamResponse(const LiveHub& hub);

}  // namespace varn
