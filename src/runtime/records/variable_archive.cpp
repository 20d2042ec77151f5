// Value variables on the serializer (saved state) and in network byte buffers.
#include <cstring>

#include "files/xarchive.h"
#include "foundation/bit_cast.h"
#include "foundation/log.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

void putInt32(unsigned char* p, int32_t v) {
  auto u = static_cast<uint32_t>(v);
  p[0] = static_cast<unsigned char>(u);
  p[1] = static_cast<unsigned char>(u >> 8);
  p[2] = static_cast<unsigned char>(u >> 16);
  p[3] = static_cast<unsigned char>(u >> 24);
}

template <typename T>
bool writeValue(CXArchive* archive, const T& value) {
  if (!archive) return false;
  *archive << value;
  return archive->isOk();
}

template <typename T>
bool readValue(CXArchive* archive, T& out) {
  if (!archive) return false;
  T value{};
  *archive >> value;
  if (!archive->isOk()) return false;
  out = std::move(value);
  return true;
}

}  // namespace

int CMC_Variable::netstore(void* buffer) const {
  if (!buffer) return 0;
  auto* p = static_cast<unsigned char*>(buffer);
  putInt32(p, getType());
  switch (getType()) {
    case mc::TYPE_INTEGER: putInt32(p + 4, asInteger()); break;
    case mc::TYPE_DOUBLE: {
      double d = asDouble();
      std::memcpy(p + 4, &d, sizeof d);
      break;
    }
    case mc::TYPE_BOOL: p[4] = asBool() ? 1 : 0; break;
    case mc::TYPE_STRING: {
      CXString text = asString();
      putInt32(p + 4, text.length());
      if (text.length() > 0) std::memcpy(p + 8, text.c_str(), static_cast<size_t>(text.length()));
      break;
    }
    default: return 4;
  }
  return getBufferLen();
}

int CMC_Variable::netrestore(const void* buffer, int length) {
  CMC_Variable* v = CMC_VariableFactory::netrestore(buffer, length);
  if (!v) return 0;
  int used = v->getBufferLen();
  onNetChange(v);
  CMC_Object::flush(v);
  return used;
}

bool CMC_Variable::store(CXArchive* archive) const {
  if (!archive || !archive->isStoring()) return false;
  *archive << static_cast<int32_t>(getType());
  return storeValue(archive) && archive->isOk();
}

bool CMC_Variable::restore(CXArchive* archive) {
  CMC_Variable* v = CMC_VariableFactory::restore(archive);
  if (!v) return false;
  switch (getType()) {
    case mc::TYPE_INTEGER: static_cast<CMC_Integer*>(this)->setValue(v->asInteger()); break;
    case mc::TYPE_DOUBLE: static_cast<CMC_Double*>(this)->setValue(v->asDouble()); break;
    case mc::TYPE_BOOL: static_cast<CMC_Bool*>(this)->setValue(v->asBool()); break;
    case mc::TYPE_STRING: static_cast<CMC_String*>(this)->setValue(v->asString()); break;
    default: break;
  }
  CMC_Object::flush(v);
  return true;
}

CMC_Variable* CMC_VariableFactory::restore(CXArchive* archive) {
  if (!archive || archive->isStoring()) return nullptr;
  int32_t type = 0;
  *archive >> type;
  if (!archive->isOk()) return nullptr;
  CMC_Variable* v = alloc(type);
  if (!v) {
    TLOG_DEBUG("saved value of unknown type " << type);
    return nullptr;
  }
  if (!v->restoreValue(archive)) {
    free(v);
    return nullptr;
  }
  return v;
}

bool CMC_Variable::serialize(CXArchive* archive) {
  if (!CMC_Object::serialize(archive)) return false;
  if (archive->isStoring()) {
    *archive << getName();
    storeValue(archive);
    storeDefault(archive);
    *archive << ini_ << netNotify_;
    return archive->isOk();
  }
  CXString name;
  *archive >> name;
  if (!archive->isOk() || !restoreValue(archive) || !restoreDefault(archive)) return false;
  bool ini = false;
  bool net = false;
  *archive >> ini >> net;
  if (!archive->isOk()) return false;
  setName(name);
  ini_ = ini;
  netNotify_ = net;
  return true;
}

bool CMC_Integer::storeValue(CXArchive* archive) const { return writeValue(archive, value_); }
bool CMC_Integer::restoreValue(CXArchive* archive) { return readValue(archive, value_); }
bool CMC_Integer::storeDefault(CXArchive* archive) const { return writeValue(archive, default_); }
bool CMC_Integer::restoreDefault(CXArchive* archive) { return readValue(archive, default_); }

bool CMC_Double::storeValue(CXArchive* archive) const { return writeValue(archive, value_); }
bool CMC_Double::restoreValue(CXArchive* archive) { return readValue(archive, value_); }
bool CMC_Double::storeDefault(CXArchive* archive) const { return writeValue(archive, default_); }
bool CMC_Double::restoreDefault(CXArchive* archive) { return readValue(archive, default_); }

bool CMC_String::storeValue(CXArchive* archive) const { return writeValue(archive, value_); }
bool CMC_String::restoreValue(CXArchive* archive) { return readValue(archive, value_); }
bool CMC_String::storeDefault(CXArchive* archive) const { return writeValue(archive, default_); }
bool CMC_String::restoreDefault(CXArchive* archive) { return readValue(archive, default_); }

bool CMC_Double::serialize(CXArchive* archive) {
  if (!CMC_Variable::serialize(archive)) return false;
  if (archive->isStoring()) {
    *archive << tarnvik::bitCast<int64_t>(value_) << tarnvik::bitCast<int64_t>(default_);
    return archive->isOk();
  }
  int64_t value = 0, fallback = 0;
  *archive >> value >> fallback;
  if (!archive->isOk()) return false;
  value_ = tarnvik::bitCast<double>(value);
  default_ = tarnvik::bitCast<double>(fallback);
  return true;
}

bool CMC_Bool::storeValue(CXArchive* archive) const { return writeValue(archive, value_); }
bool CMC_Bool::restoreValue(CXArchive* archive) { return readValue(archive, value_); }
bool CMC_Bool::storeDefault(CXArchive* archive) const { return writeValue(archive, default_); }
bool CMC_Bool::restoreDefault(CXArchive* archive) { return readValue(archive, default_); }

bool CMC_Variable::serializeState(CXArchive* archive) {
  return archive->isStoring() ? storeValue(archive) : restoreValue(archive);
}

bool CMC_Double::serializeState(CXArchive* archive) {
  int64_t bits = tarnvik::bitCast<int64_t>(value_);
  archive->isStoring() ? *archive << bits : *archive >> bits;
  if (archive->isLoading() && archive->isOk()) value_ = tarnvik::bitCast<double>(bits);
  return archive->isOk();
}
