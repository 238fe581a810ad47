// A well-behaved client for the server tests: FreeTDS through unixODBC, the way SQL Server
// clients on Linux connect. One object per connection and per thread (the driver manager
// and FreeTDS are thread-safe per connection).
#pragma once

#include <string>
#include <vector>

namespace server_test {

struct Outcome {
    std::vector<int> errors;  // native numbers of the error records (0: the driver's own)
    std::string errorText;    // the first error record, for failure messages
    std::vector<std::vector<std::string>> rows;  // of every result set, in order; NULL as "NULL"

    bool ok() const { return errors.empty(); }
    bool has(int number) const;
    // The first column of the first row, or "" (a failed request has none).
    std::string scalar() const;
};

class OdbcClient {
  public:
    OdbcClient(int port, const std::string& login, const std::string& password,
               const std::string& database = "");
    ~OdbcClient();
    OdbcClient(const OdbcClient&) = delete;
    OdbcClient& operator=(const OdbcClient&) = delete;

    bool Connected() const { return connected_; }
    // Why the connection failed (with the native number first: "18456 ...").
    const std::string& Error() const { return error_; }
    // Runs a batch and reads every result it sends back.
    Outcome Run(const std::string& sql);

  private:
    void* env_ = nullptr;
    void* dbc_ = nullptr;
    bool connected_ = false;
    std::string error_;
};

}  // namespace server_test
