-- SPDX-License-Identifier: MIT
-- The binary-trees workload in Lua, as binary_trees.c does it.
--   lua binary_trees.lua [MAX_DEPTH] [exit]
-- With "exit": no output but Lua's own count of its bytes on standard
-- error, then os.exit(0, false) with every block still live.
local maxDepth = tonumber(arg and arg[1]) or 16
local quiet = arg and arg[2] == "exit"
local minDepth = 4

local function make(depth)
  if depth == 0 then return {} end
  depth = depth - 1
  return { make(depth), make(depth) }
end

local function check(tree)
  if tree[1] then return 1 + check(tree[1]) + check(tree[2]) end
  return 1
end

local function say(...)
  if not quiet then io.write(...) end
end

local stretch = make(maxDepth + 1)
say("stretch tree of depth ", maxDepth + 1, "\t check: ", check(stretch), "\n")
stretch = nil

local longLived = make(maxDepth)
for depth = minDepth, maxDepth, 2 do
  local iterations = 1 << (maxDepth - depth + minDepth)
  local sum = 0
  for _ = 1, iterations do
    sum = sum + check(make(depth))
  end
  say(iterations, "\t trees of depth ", depth, "\t check: ", sum, "\n")
end
say("long lived tree of depth ", maxDepth, "\t check: ", check(longLived), "\n")

if quiet then
  -- A number is written without making a string: the count stays as it is.
  io.stderr:write(collectgarbage("count") * 1024)
  os.exit(0, false)
end
