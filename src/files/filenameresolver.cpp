// Splitting a path into drive, folder, file name and extension.
#include "files/filenameresolver.h"

#include <algorithm>

CFileNameResolver::CFileNameResolver(const CXString& path) {
  CXString rest = path;
  if (rest.GetAt(1) == ':') {
    drive_ = rest.Left(2);
    rest = rest.Right(2);
  }
  int cut = std::max(rest.FindLast('\\'), rest.FindLast('/'));
  if (cut >= 0) {
    path_ = rest.Left(cut + 1);
    fileName_ = rest.Right(cut + 1);
  } else {
    fileName_ = rest;
  }
  int dot = fileName_.FindLast('.');
  if (dot >= 0) {
    extension_ = fileName_.Right(dot + 1);
    pureFileName_ = fileName_.Left(dot);
  } else {
    pureFileName_ = fileName_;
  }
}
