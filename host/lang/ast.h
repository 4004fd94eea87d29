// The parsed form of a macro: statements holding expression trees.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "lang.h"

namespace mcrlang {

enum class Op {
  Add, Sub, Mul, Div, Concat,
  Eq, Ne, Lt, Gt, Le, Ge,
  And, Or, Not, Neg,
};

struct Expr {
  enum class Kind { Number, String, Name, Index, Call, Unary, Binary } kind;
  int line = 0;
  int column = 0;  // where the expression starts on its line, from 1
  double number = 0;
  std::string text;  // Name/Index/Call: the name as written; String: ANSI value
  Op op = Op::Add;
  int height = 1;  // of the tree below and including this node
  // Call: the arguments, a null entry being an omitted one. Index: the index.
  // Unary: the operand. Binary: left and right.
  std::vector<std::unique_ptr<Expr>> args;
};
using ExprPtr = std::unique_ptr<Expr>;

struct Stmt;
using Block = std::vector<Stmt>;

struct Stmt {
  enum class Kind { Assign, AssignIndex, Call, Print, If, While, Exit, Dim, Wait } kind;
  int line = 0;
  int column = 0;
  std::string name;              // Assign, AssignIndex, Call, Dim
  ExprPtr index;                 // AssignIndex, Dim (the size)
  ExprPtr value;                 // Assign, AssignIndex, Wait
  std::vector<ExprPtr> args;     // Call (null = omitted), Print, If/While conditions
  std::vector<Block> blocks;     // If: one per condition, then the else block; While: the body
};

struct Program {
  Block statements;
};

}  // namespace mcrlang
