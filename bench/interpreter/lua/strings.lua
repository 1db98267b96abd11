-- SPDX-License-Identifier: MIT
-- Formatting, concatenating and joining strings, as the interpreter-shaped
-- program's strings workload does.
local words = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta"}
local total = 0
for i = 1, 300000 do
  local parts = {}
  for k = 1, 16 do
    local piece = words[(k % 8) + 1] .. tostring((i * (k + 1)) % 100)
    parts[#parts + 1] = piece
    if k % 2 == 1 then parts[#parts + 1] = piece .. piece .. parts[1] end
  end
  local joined = table.concat(parts, ",")
  total = total + #joined + #string.format("%d:%s", i, parts[3])
end
print("strings", total)
