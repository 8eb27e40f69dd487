// SrmError: one error met while scanning or loading, and SrmErrorList, which files errors
// under a lower-cased owner name and owns them. Errors travel with the database: they are
// written as "Type=Error" tuples, read back, and reported.
#ifndef RESDB_MODEL_SRM_ERROR_H_
#define RESDB_MODEL_SRM_ERROR_H_

#include <list>
#include <map>
#include <memory>
#include <string>

class CSRMReportTuple;
class SrmResourceDatabase;

class SrmError {
 public:
  // An error to be read back from a tuple: severity 2, code 22, empty texts.
  explicit SrmError(SrmResourceDatabase* db);
  SrmError(const std::string& description, int code, int severity, const std::string& eclass,
           const std::string& etype, const std::string& efunc);
  SrmError(const SrmError&) = delete;
  SrmError& operator=(const SrmError&) = delete;
  virtual ~SrmError() = default;

  // Writes the error's tuple, filed under name, to fd. 1 when the whole tuple was written;
  // 0 without a database or on a short write.
  int serialize(int fd, int flags, const std::string& name);
  // Fills the error from tuple and stores its Id in *name. 0 for a null tuple, else 1.
  int deserialize(int fd, std::string* name, CSRMReportTuple* tuple);

  SrmResourceDatabase* getDatabase() const { return database_; }
  void setDatabase(SrmResourceDatabase* db) { database_ = db; }
  int getSeverity() const { return severity_; }
  int getCode() const { return code_; }
  const std::string& getFileName() const { return file_name_; }
  const std::string& getFunction() const { return function_; }
  const std::string& getClass() const { return class_; }
  const std::string& getErrorType() const { return type_; }
  const std::string& getDescription() const { return description_; }

 private:
  SrmResourceDatabase* database_ = nullptr;  // borrowed
  int severity_ = 2;                         // Sev
  int code_ = 22;                            // Ecode
  std::string file_name_;                    // FileName
  std::string function_;                     // Efunc
  std::string class_;                        // Eclass
  std::string type_;                         // Etype
  std::string description_;                  // ErrorDesc
};

class SrmErrorList {
 public:
  using ErrorQueue = std::list<std::unique_ptr<SrmError>>;
  using NameMap = std::map<std::string, ErrorQueue>;

  explicit SrmErrorList(SrmResourceDatabase* db);
  SrmErrorList(const SrmErrorList&) = delete;
  SrmErrorList& operator=(const SrmErrorList&) = delete;

  // Files e at the end of name's list (name folded to lower case) and takes ownership of it.
  // 0 for an empty name or a null error: e then stays the caller's.
  int addError(const std::string& name, SrmError* e);
  int getErrorCount() const;
  int getErrorCount(const std::string& name) const;
  // The list filed under name (not a copy), or null: no names at all, an empty name, or
  // nothing filed under it.
  const ErrorQueue* getSrmErrorIdMap(const std::string& name) const;
  // All names and their errors, in name order.
  const NameMap& getAllErrors() const { return errors_; }
  // Re-creates every error of other in this list's database, in order; 0 at the first one the
  // database refuses (what was merged before stays).
  int mergeErrors(const SrmErrorList* other);
  // Writes every error; returns how many were written whole.
  int serialize(int fd, int flags);

  static std::string FoldName(const std::string& name);

 private:
  NameMap errors_;
  SrmResourceDatabase* database_;  // borrowed
};

#endif  // RESDB_MODEL_SRM_ERROR_H_
