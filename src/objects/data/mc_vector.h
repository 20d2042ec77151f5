// VECTOR: a mathematical vector of doubles with sums, scaling, products, length and reflection.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/object.h"
#include "runtime/runner.h"

class CMC_Vector : public CMC_Object {
 public:
  using CMC_Object::clone;

  // SIZE, EXPAND and saved state never make more components than this.
  static constexpr int kMaxSize = 1 << 20;

  CMC_Vector(CMC_ObjectsContainer* scope, CMElement* element);
  CMC_Vector(const CXString& name, std::vector<double> components);

  int getSize() const { return static_cast<int>(components_.size()); }
  // The component at the index, 0 outside.
  double get(int index) const;
  const std::vector<double>& components() const { return components_; }

  // Component-wise with a vector of the same size; false (nothing changed) for another size.
  bool add(const CMC_Vector& other, double sign = 1.0);
  // The sum of the products of the components; 0 when the sizes differ.
  double smul(const CMC_Vector& other) const;
  void mul(double factor);
  double len() const;
  // Divides by the length; a zero vector (or one without components) stays as it is.
  void normalize();
  // Sets r's component i to d * n_i - this_i with d = 2 * (this . n); missing components count as 0.
  void reflect(const CMC_Vector& n, CMC_Vector& r) const;
  // Grows to the new size with the old components at its end; a smaller size is ignored.
  bool expand(int size);
  void set(int index, double value);
  void copyFrom(const CMC_Vector& other);
  void fill(double value);
  // Component i takes values[i], for the components there are.
  void assign(const std::vector<double>& values);
  void neg();

  CXObject* clone() const override;
  // The handlers, the name, the size and the components in the serializer's double encoding, then
  // the components once more as exact 64-bit patterns (that encoding keeps three decimals only, and
  // a precompiled game must compute as its definition files do).
  bool serialize(CXArchive* archive) override;
  // Run-time state: the record's content after the name (the handlers are the save's own).
  bool serializeState(CXArchive* archive) override;

 private:
  std::vector<double> components_;
};

class CMC_Vector_Runner : public CMC_Runner {
 public:
  enum Method { ADD = 1, GET, GETSIZE, VMUL, SMUL, MUL, LEN, NORMALIZE, REFLECT, EXPAND, SET, ASSIGN, SUB, NEG };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers VECTOR: its maker, its saved-state record and its runner.
void registerVectorType();
}  // namespace tarnvik
