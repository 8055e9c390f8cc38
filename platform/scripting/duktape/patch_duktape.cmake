# Our changes to the duktape source, applied to a copy in the build tree:
#   cmake -DSRC=<duktape.c> -DDST=<copy> -P patch_duktape.cmake
# Each change names the exact text it replaces; when that text is not found
# exactly once (another duktape version), the build stops here so that the
# change is looked at again. The JScript tests pin every change.
file(READ "${SRC}" text)

function(zn_change why old new)
  string(FIND "${text}" "${old}" first)
  string(FIND "${text}" "${old}" last REVERSE)
  if(first EQUAL -1 OR NOT first EQUAL last)
    message(FATAL_ERROR "duktape source: no single match for the change \"${why}\"")
  endif()
  string(REPLACE "${old}" "${new}" text "${text}")
  set(text "${text}" PARENT_SCOPE)
endfunction()

# A labelled statement other than a block, `if`, `with` or a loop (e.g.
# `done: break done;` or a labelled `try`) left its break jump unfilled,
# and breaking to the label ran an invalid instruction.
zn_change("break to any labelled statement"
"	if (label_id >= 0) {
		duk__emit_bc(comp_ctx, DUK_OP_ENDLABEL, (duk_regconst_t) label_id);
	}"
"	if (label_id >= 0) {
		duk_compiler_instr *zn_break_slot = duk__get_instr_ptr(comp_ctx, pc_at_entry + 1);
		if (DUK_DEC_OP(zn_break_slot->ins) == DUK_OP_INVALID) {
			duk__patch_jump_here(comp_ctx, pc_at_entry + 1); /* break jump */
		}
		duk__emit_bc(comp_ctx, DUK_OP_ENDLABEL, (duk_regconst_t) label_id);
	}")

# The error of a call to a missing method is made before the call and took
# the position the executor last stored, so it named an earlier line.
zn_change("method call errors on their own line"
"	entry_top = duk_get_top(thr);

	/* [ <nargs> target ] */"
"	entry_top = duk_get_top(thr);
	duk_hthread_sync_currpc(thr);

	/* [ <nargs> target ] */")

# The classic engine knows no \\v escape: \"\\v\" is \"v\".
zn_change("no vertical tab escape"
"			case 'v':
				emitcp = 0x000b;
				break;"
"			case 'v':
				emitcp = 0x0076;
				break;")

# A comma before the closing bracket of an array literal adds an element,
# as in the classic engine: [1,].length is 2, [,].length is 2.
zn_change("trailing comma in array literals"
"					/* comma after a value, expected */
					duk__advance(comp_ctx);
					require_comma = 0;"
"					/* comma after a value, expected */
					duk__advance(comp_ctx);
					require_comma = 0;
					if (comp_ctx->curr_token.t == DUK_TOK_RBRACKET) {
						curr_idx++;
					}")

zn_change("trailing elision in array literals"
"					/* elision - flush */
					curr_idx++;
					duk__advance(comp_ctx);"
"					/* elision - flush */
					curr_idx++;
					duk__advance(comp_ctx);
					if (comp_ctx->curr_token.t == DUK_TOK_RBRACKET) {
						curr_idx++;
					}")

# Host objects reach scripts as callable proxies (a collection is called for
# its default member: Layers(1)), yet they are objects to the script, as
# in the classic engine: typeof gives "object".
zn_change("typeof of a host object"
"		if (DUK_HOBJECT_IS_CALLABLE(obj)) {
			stridx = DUK_STRIDX_LC_FUNCTION;"
"		if (DUK_HOBJECT_IS_CALLABLE(obj) && !DUK_HOBJECT_IS_PROXY(obj)) {
			stridx = DUK_STRIDX_LC_FUNCTION;")

# A property read that starts a method call (o.m(...)) tells the host
# bridge so: on objects without type information the bridge then calls the
# member instead of reading it as a property first (zn_duk_config.h).
zn_change("method reads known to the host bridge"
"		duk_tval *tv__targ; \\
		(void) duk_hobject_getprop(thr, (barg), (carg)); \\"
"		duk_tval *tv__targ; \\
		zn_jscript_method_base = DUK_TVAL_IS_OBJECT((barg)) ? (void *) DUK_TVAL_GET_OBJECT((barg)) : NULL; \\
		zn_jscript_method_key = DUK_TVAL_IS_STRING((carg)) ? (void *) DUK_TVAL_GET_STRING((carg)) : NULL; \\
		(void) duk_hobject_getprop(thr, (barg), (carg)); \\
		zn_jscript_method_base = NULL; \\")

# A loop over a group that matches the empty string (/()*/, /(a*)*b/)
# recursed until the recursion limit, or looped for good when not greedy.
# The executor now remembers the loop it went round last and the input
# position it was at: a round that comes back to the same loop at the same
# position matched nothing and fails, as the language wants.
zn_change("regexp loop state"
"	duk_uint32_t steps_count;
	duk_uint32_t steps_limit;
};"
"	duk_uint32_t steps_count;
	duk_uint32_t steps_limit;
	const duk_uint8_t *zn_loop_pc;
	const duk_uint8_t *zn_loop_sp;
};")
zn_change("regexp loop state starts empty"
"	re_ctx.saved = NULL;
	re_ctx.recursion_limit = DUK_USE_REGEXP_EXECUTOR_RECLIMIT;"
"	re_ctx.saved = NULL;
	re_ctx.zn_loop_pc = NULL;
	re_ctx.zn_loop_sp = NULL;
	re_ctx.recursion_limit = DUK_USE_REGEXP_EXECUTOR_RECLIMIT;")
zn_change("no empty rounds of a lazy loop"
"			skip = duk__bc_get_i32(re_ctx, &pc);
			sub_sp = duk__match_regexp(re_ctx, pc, sp);
			if (sub_sp) {
				sp = sub_sp;
				goto match;
			}
			pc += skip;
			break;"
"			skip = duk__bc_get_i32(re_ctx, &pc);
			sub_sp = duk__match_regexp(re_ctx, pc, sp);
			if (sub_sp) {
				sp = sub_sp;
				goto match;
			}
			if (skip < 0) {
				if (re_ctx->zn_loop_pc == pc && re_ctx->zn_loop_sp == sp) {
					goto fail;
				}
				re_ctx->zn_loop_pc = pc;
				re_ctx->zn_loop_sp = sp;
			}
			pc += skip;
			break;")
zn_change("no empty rounds of a greedy loop"
"			skip = duk__bc_get_i32(re_ctx, &pc);
			sub_sp = duk__match_regexp(re_ctx, pc + skip, sp);
			if (sub_sp) {
				sp = sub_sp;
				goto match;
			}
			break;"
"			skip = duk__bc_get_i32(re_ctx, &pc);
			if (skip < 0) {
				const duk_uint8_t *zn_pc = re_ctx->zn_loop_pc;
				const duk_uint8_t *zn_sp = re_ctx->zn_loop_sp;
				if (zn_pc == pc && zn_sp == sp) {
					goto fail;
				}
				re_ctx->zn_loop_pc = pc;
				re_ctx->zn_loop_sp = sp;
				sub_sp = duk__match_regexp(re_ctx, pc + skip, sp);
				re_ctx->zn_loop_pc = zn_pc;
				re_ctx->zn_loop_sp = zn_sp;
			} else {
				sub_sp = duk__match_regexp(re_ctx, pc + skip, sp);
			}
			if (sub_sp) {
				sp = sub_sp;
				goto match;
			}
			break;")

# Functions keep the text they were written as: Function.prototype.toString
# gives it back (new Function bodies as "function anonymous(...) {...}").
# The built-ins written in script keep none and show as native code.
zn_change("functions remember their source text"
"	duk__parse_func_like_raw(comp_ctx, flags); /* pushes function template */
"
"	zn_src_start = comp_ctx->prev_token.start_offset;
	duk__parse_func_like_raw(comp_ctx, flags); /* pushes function template */
	if (!zn_jscript_no_source && comp_ctx->prev_token.start_offset >= zn_src_start) {
		duk_push_lstring(thr,
		                 (const char *) comp_ctx->lex.input + zn_src_start,
		                 comp_ctx->prev_token.start_offset + 1 - zn_src_start);
		duk_xdef_prop_stridx_short(thr, -2, DUK_STRIDX_INT_SOURCE, DUK_PROPDESC_FLAGS_NONE);
	}
")
zn_change("source start of an inner function"
"	duk_compiler_func old_func;
	duk_idx_t entry_top;
	duk_int_t fnum;
"
"	duk_compiler_func old_func;
	duk_idx_t entry_top;
	duk_int_t fnum;
	duk_size_t zn_src_start;
")
zn_change("source text of a constructed function"
"	duk_push_literal(thr, \"anonymous\");
	duk_xdef_prop_stridx_short(thr, -2, DUK_STRIDX_NAME, DUK_PROPDESC_FLAGS_C);
"
"	duk_push_literal(thr, \"anonymous\");
	duk_xdef_prop_stridx_short(thr, -2, DUK_STRIDX_NAME, DUK_PROPDESC_FLAGS_C);
	duk_push_literal(thr, \"function anonymous(\");
	duk_dup_1(thr);
	duk_push_literal(thr, \") {\\n\");
	duk_dup_0(thr);
	duk_push_literal(thr, \"\\n}\");
	duk_concat(thr, 5);
	duk_xdef_prop_stridx_short(thr, -2, DUK_STRIDX_INT_SOURCE, DUK_PROPDESC_FLAGS_NONE);
")
zn_change("function text from the source"
"		if (DUK_HOBJECT_IS_COMPFUNC(obj)) {
			duk_push_sprintf(thr, \"function %s() { [ecmascript code] }\", (const char *) func_name);"
"		if (DUK_HOBJECT_IS_COMPFUNC(obj)) {
			duk_get_prop_stridx_short(thr, -2, DUK_STRIDX_INT_SOURCE);
			if (duk_is_string(thr, -1)) {
				return 1;
			}
			duk_pop(thr);
			duk_push_sprintf(thr, \"function %s() { [native code] }\", (const char *) func_name);")

# A named function expression also declares its name in the enclosing
# function (or program), hoisted like a function declaration, as the
# classic engine's compiler does: the declaration is a second function
# made from the same code. Not in the built-ins written in script.
zn_change("named function expressions declare their name"
"		/* curr_token follows 'function' */
		fnum = duk__parse_func_like_fnum(comp_ctx, 0 /*flags*/);"
"		/* curr_token follows 'function' */
		if (comp_ctx->curr_func.in_scanning && !comp_ctx->curr_func.is_strict &&
		    !zn_jscript_no_source && comp_ctx->curr_token.t_nores == DUK_TOK_IDENTIFIER) {
			duk_uarridx_t zn_n;
			fnum = duk__parse_func_like_fnum(comp_ctx, DUK__FUNC_FLAG_PUSHNAME_PASS1);
			zn_n = (duk_uarridx_t) duk_get_length(thr, comp_ctx->curr_func.decls_idx);
			duk_put_prop_index(thr, comp_ctx->curr_func.decls_idx, zn_n);
			duk_push_int(thr, (duk_int_t) (DUK_DECL_TYPE_FUNC + (fnum << 8)));
			duk_put_prop_index(thr, comp_ctx->curr_func.decls_idx, zn_n + 1);
		} else {
			fnum = duk__parse_func_like_fnum(comp_ctx, 0 /*flags*/);
		}")

# typeof of a host member whose read fails is "unknown": a property read
# that typeof takes tells the host bridge so, and the bridge answers a
# failed read with a marker that typeof names.
zn_change("property reads for typeof known to the host bridge"
"		 * C -> key reg/const \\
		 */ \\
		(void) duk_hobject_getprop(thr, (barg), (carg)); \\
		DUK__REPLACE_TOP_A_BREAK(); \\"
"		 * C -> key reg/const \\
		 */ \\
		if (DUK_UNLIKELY(DUK_DEC_OP(*curr_pc) == DUK_OP_TYPEOF) && DUK_TVAL_IS_OBJECT((barg)) && \\
		    DUK_HOBJECT_IS_PROXY(DUK_TVAL_GET_OBJECT((barg)))) { \\
			zn_jscript_typeof_base = (void *) DUK_TVAL_GET_OBJECT((barg)); \\
		} \\
		(void) duk_hobject_getprop(thr, (barg), (carg)); \\
		DUK__REPLACE_TOP_A_BREAK(); \\")
zn_change("typeof of a failed host read"
"			tv = DUK__REGP_BC(ins);
			stridx = duk_js_typeof_stridx(tv);"
"			tv = DUK__REGP_BC(ins);
			if (DUK_UNLIKELY(DUK_TVAL_IS_LIGHTFUNC(tv) &&
			                 DUK_TVAL_GET_LIGHTFUNC_FUNCPTR(tv) == zn_jscript_unknown_marker)) {
				duk_push_literal(thr, \"unknown\");
				DUK__REPLACE_TOP_A_BREAK();
			}
			stridx = duk_js_typeof_stridx(tv);")

# Built-ins called on the wrong kind of object name the kind they expect,
# so the error gets the classic number.
zn_change("Boolean methods expect a Boolean"
"	DUK_DCERROR_TYPE_INVALID_ARGS(thr);
	/* never here */

type_ok:
	if (coerce_tostring) {"
"	DUK_ERROR_TYPE(thr, \"boolean expected\");
	/* never here */

type_ok:
	if (coerce_tostring) {")
zn_change("String toString and valueOf expect a String"
"	(void) duk_require_hstring_notsymbol(thr, -1); /* Reject symbols (and wrapped symbols). */
	return 1;

type_error:
	DUK_DCERROR_TYPE_INVALID_ARGS(thr);
}"
"	(void) duk_require_hstring_notsymbol(thr, -1); /* Reject symbols (and wrapped symbols). */
	return 1;

type_error:
	DUK_ERROR_TYPE(thr, \"string expected\");
}")
zn_change("Array toString expects an Array"
"DUK_INTERNAL duk_ret_t duk_bi_array_prototype_to_string(duk_hthread *thr) {
	(void) duk_push_this_coercible_to_object(thr);"
"DUK_INTERNAL duk_ret_t duk_bi_array_prototype_to_string(duk_hthread *thr) {
	if (!DUK_HOBJECT_IS_ARRAY(duk_push_this_coercible_to_object(thr))) {
		DUK_ERROR_TYPE(thr, \"array expected\");
	}")
zn_change("Function toString expects a function"
"	return 1;

type_error:
	DUK_DCERROR_TYPE_INVALID_ARGS(thr);
}
#endif

/* Always present because the native function pointer is needed in call"
"	return 1;

type_error:
	DUK_ERROR_TYPE(thr, \"function expected\");
}
#endif

/* Always present because the native function pointer is needed in call")
zn_change("apply expects an array"
"	DUK_ERROR_TYPE_INVALID_ARGS(thr);
	DUK_WO_NORETURN(return 0;);

fail_over_2g:"
"	DUK_ERROR_TYPE(thr, \"array or arguments expected\");
	DUK_WO_NORETURN(return 0;);

fail_over_2g:")

# Date texts are read as the classic engine reads them (jscript_dates.cpp):
# ISO 8601 is not among its forms.
zn_change("no ISO 8601 date texts"
"	if (duk__parse_string_iso8601_subset(thr, str) != 0) {
		return 1;
	}

#if defined(DUK_USE_DATE_PARSE_STRING)"
"	(void) duk__parse_string_iso8601_subset;

#if defined(DUK_USE_DATE_PARSE_STRING)")

file(WRITE "${DST}.tmp" "${text}")
file(RENAME "${DST}.tmp" "${DST}")
