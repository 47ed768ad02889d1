#pragma once
// The IPTC dataset list of a metadata record. The segment scan creates it for the
// first APP13 segment; the datasets themselves are parsed by the IPTC reader.
class TimgData;

class TIPTCdata {
 public:
  explicit TIPTCdata(TimgData* parent) : Parent(parent) {}
  virtual ~TIPTCdata() = default;
  TIPTCdata(const TIPTCdata&) = delete;
  TIPTCdata& operator=(const TIPTCdata&) = delete;

  TimgData* Parent = nullptr;
  int Count = 0;
};
