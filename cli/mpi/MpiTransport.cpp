#include "cli/mpi/MpiTransport.h"

#include <algorithm>

#include "app/ParameterFile.h"

namespace vantorel::cli::mpi {

std::string MpiErrorText(int code) {
  char text[MPI_MAX_ERROR_STRING];
  int length = 0;
  if (MPI_Error_string(code, text, &length) != MPI_SUCCESS) return "MPI error " + std::to_string(code);
  return std::string(text, size_t(length));
}

void Check(int code, const std::string& what) {
  if (code != MPI_SUCCESS) throw IoError(what + ": " + MpiErrorText(code));
}

void SendInts(const int32_t* values, int count, int to, int tag) {
  Check(MPI_Send(values, count, MPI_INT32_T, to, tag, MPI_COMM_WORLD), "Cannot send to process " + std::to_string(to));
}

void SendText(const std::string& text, int to, int tag) {
  Check(MPI_Send(text.data(), int(text.size()), MPI_CHAR, to, tag, MPI_COMM_WORLD),
        "Cannot send to process " + std::to_string(to));
}

std::vector<uint8_t> BroadcastBytes(std::vector<uint8_t> bytes) {
  int64_t size = int64_t(bytes.size());
  Check(MPI_Bcast(&size, 1, MPI_INT64_T, kRoot, MPI_COMM_WORLD), "Cannot start the run");
  bytes.resize(size_t(size));
  Check(MPI_Bcast(bytes.data(), int(size), MPI_BYTE, kRoot, MPI_COMM_WORLD), "Cannot start the run");
  return bytes;
}

std::vector<uint8_t> EncodeSetup(const RunSetup& s) {
  std::vector<uint8_t> bytes{uint8_t(s.Ok), uint8_t(s.Plan.Compute), uint8_t(s.Plan.Fresh)};
  if (!s.Ok) return bytes;
  const std::vector<uint8_t> block = EncodeParameterBlock(s.Params, BlockForm::Project, 0);
  const uint32_t blockSize = uint32_t(block.size());
  bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(&blockSize),
               reinterpret_cast<const uint8_t*>(&blockSize) + 4);
  bytes.insert(bytes.end(), block.begin(), block.end());
  bytes.insert(bytes.end(), s.DataDir.begin(), s.DataDir.end());
  return bytes;
}

RunSetup DecodeSetup(const std::vector<uint8_t>& bytes) {
  RunSetup s;
  if (bytes.size() < 3 || !bytes[0]) return s;
  s.Ok = true;
  s.Plan.Compute = bytes[1];
  s.Plan.Fresh = bytes[2];
  uint32_t blockSize = 0;
  std::copy_n(bytes.begin() + 3, 4, reinterpret_cast<uint8_t*>(&blockSize));
  s.Params = DecodeParameterBlock(bytes.data() + 7, blockSize).Params;
  s.DataDir.assign(bytes.begin() + 7 + blockSize, bytes.end());
  return s;
}

}  // namespace vantorel::cli::mpi
