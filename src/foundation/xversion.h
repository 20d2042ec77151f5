// CXVersion: a four-part version number (type, major, minor, build) and the engine's own version.
#pragma once

#include "foundation/xobject.h"
#include "foundation/xstring.h"

class CXVersion : public CXObject {
 public:
  CXVersion(int type = 0, int major = 0, int minor = 0, int build = 0)  // NOLINT
      : type_(type), major_(major), minor_(minor), build_(build) {}
  // Reads "major", "major.minor", "major.minor.build" (type 0) or "type.major.minor.build";
  // missing or non-numeric parts are 0.
  explicit CXVersion(const CXString& text);

  int getType() const { return type_; }
  int getMajor() const { return major_; }
  int getMinor() const { return minor_; }
  int getBuild() const { return build_; }

  // "major.minor.build" for type 0, "type.major.minor.build" otherwise; reads back as the same version.
  CXString toString() const override;
  // Orders by type, major, minor, build.
  int compare(const CXObject* other) const override;
  bool equals(const CXObject* other) const override;
  // True when this version is at least the required one (a null requirement is always met).
  bool verify(const CXVersion* required) const;
  CXObject* clone() const override { return new CXVersion(*this); }

  // The running engine's version.
  static const CXVersion* getCurrentVersion();

 private:
  int type_;
  int major_;
  int minor_;
  int build_;
};
